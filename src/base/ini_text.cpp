#include "base/ini_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <sstream>

namespace kelvane {
namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::size_t IniText::NoCaseHash::operator()(std::string_view name) const {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : name)
        h = (h ^ static_cast<std::uint64_t>(std::tolower(c))) * 1099511628211ull;
    return static_cast<std::size_t>(h);
}

bool IniText::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::int64_t ProfileInteger(const std::string& text) {
    // The integer function reads the value into a 30-character buffer.
    const std::string value = text.substr(0, kMaxIntegerText);
    size_t i = 0;
    while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    std::uint32_t base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        const char prefix = value[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    std::uint32_t n = 0;  // wraps like the function's 32-bit total
    for (; i < value.size(); ++i) {
        const char c = value[i];
        const std::uint32_t digit =
            c >= '0' && c <= '9'   ? static_cast<std::uint32_t>(c - '0')
            : c >= 'a' && c <= 'z' ? static_cast<std::uint32_t>(c - 'a' + 10)
            : c >= 'A' && c <= 'Z' ? static_cast<std::uint32_t>(c - 'A' + 10)
                                   : 99;
        if (digit >= base) break;
        n = n * base + digit;
    }
    return static_cast<std::int32_t>(negative ? 0u - n : n);
}

IniText::IniText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            const size_t close = t.find(']');
            current =
                &SectionNamed(close == std::string::npos ? t.substr(1) : t.substr(1, close - 1));
            continue;
        }
        if (current == nullptr) continue;
        const size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(t.substr(0, eq));
        // The first occurrence of a key wins, as with the profile functions.
        if (current->keys.emplace(key, current->entries.size()).second)
            current->entries.push_back({std::move(key), Trim(t.substr(eq + 1))});
    }
}

// A repeated header goes on with the section of the first.
IniText::Section& IniText::SectionNamed(const std::string& name) {
    const auto [it, added] = section_index_.emplace(name, sections_.size());
    if (added) sections_.push_back({name, {}, {}});
    return sections_[it->second];
}

const IniText::Entry* IniText::Find(const std::string& section, const std::string& key) const {
    const auto s = section_index_.find(std::string_view(section));
    if (s == section_index_.end()) return nullptr;
    const Section& found = sections_[s->second];
    const auto e = found.keys.find(std::string_view(key));
    return e == found.keys.end() ? nullptr : &found.entries[e->second];
}

bool IniText::Has(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

std::int64_t IniText::GetInt(const std::string& section, const std::string& key,
                             std::int64_t default_value) {
    const Entry* e = Find(section, key);
    // An empty value gives the default, as a missing key does.
    if (e == nullptr || e->value.empty()) return default_value;
    return ProfileInteger(e->value);
}

std::string IniText::GetString(const std::string& section, const std::string& key,
                               const std::string& default_value) {
    const Entry* e = Find(section, key);
    std::string v = e == nullptr ? default_value : e->value;
    if (v.size() > kMaxValue) v.resize(kMaxValue);
    return v;
}

bool IniText::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    if (read_only_) return false;
    Section& s = SectionNamed(section);
    const auto [it, added] = s.keys.emplace(key, s.entries.size());
    if (added)
        s.entries.push_back({key, value});
    else
        s.entries[it->second].value = value;
    return true;
}

std::vector<std::string> IniText::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    const auto s = section_index_.find(std::string_view(section));
    if (s != section_index_.end())
        for (const Entry& e : sections_[s->second].entries) keys.push_back(e.key);
    return keys;
}

std::string IniText::Text() const {
    std::string out;
    for (const Section& s : sections_) {
        out += "[" + s.name + "]\r\n";
        for (const Entry& e : s.entries) out += e.key + "=" + e.value + "\r\n";
    }
    return out;
}

}  // namespace kelvane
