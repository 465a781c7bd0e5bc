#include "base/ini_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace kelvane {
namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

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
            const std::string name =
                close == std::string::npos ? t.substr(1) : t.substr(1, close - 1);
            auto it = std::find_if(sections_.begin(), sections_.end(),
                                   [&](const Section& s) { return SameName(s.name, name); });
            if (it == sections_.end()) {
                sections_.push_back({name, {}});
                current = &sections_.back();
            } else {
                current = &*it;
            }
            continue;
        }
        if (current == nullptr) continue;
        const size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(t.substr(0, eq));
        std::string value = Trim(t.substr(eq + 1));
        // The first occurrence of a key wins, as with the profile functions.
        const bool seen = std::any_of(current->entries.begin(), current->entries.end(),
                                      [&](const Entry& e) { return SameName(e.key, key); });
        if (!seen) current->entries.push_back({key, value});
    }
}

const IniText::Entry* IniText::Find(const std::string& section, const std::string& key) const {
    for (const Section& s : sections_) {
        if (!SameName(s.name, section)) continue;
        for (const Entry& e : s.entries)
            if (SameName(e.key, key)) return &e;
    }
    return nullptr;
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
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return SameName(s.name, section); });
    if (it == sections_.end()) {
        sections_.push_back({section, {}});
        it = sections_.end() - 1;
    }
    for (Entry& e : it->entries) {
        if (SameName(e.key, key)) {
            e.value = value;
            return true;
        }
    }
    it->entries.push_back({key, value});
    return true;
}

std::vector<std::string> IniText::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    for (const Section& s : sections_)
        if (SameName(s.name, section))
            for (const Entry& e : s.entries) keys.push_back(e.key);
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
