#include "failsafe/power_on_file.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "base/ini_text.h"
#include "base/sealed_text.h"

namespace kelvane {
namespace {

constexpr const char* kSection = "Power-on values";

std::string Hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

template <typename Number>
std::optional<Number> Whole(std::string_view text, int base = 10) {
    Number n{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    return n;
}

// "0x5A"; nothing for anything else.
std::optional<std::uint8_t> ByteValue(std::string_view text) {
    if (text.size() < 3 || text.size() > 4 || text.substr(0, 2) != "0x") return {};
    const auto v = Whole<unsigned>(text.substr(2), 16);
    if (!v) return {};
    return static_cast<std::uint8_t>(*v);
}

std::string RegisterKey(std::uint8_t reg) { return Hex(reg, 2).substr(2); }

}  // namespace

bool SameBoot(const BootStamp& noted, const BootStamp& now) {
    const std::int64_t apart = now.boot_unix_seconds - noted.boot_unix_seconds;
    return now.uptime_seconds >= noted.uptime_seconds && apart <= kBootToleranceSeconds &&
           -apart <= kBootToleranceSeconds;
}

std::string PowerOnText(const NotedPowerOn& noted) {
    std::string text = std::string("[") + kSection + "]\r\n";
    text += "Boot=" + std::to_string(noted.boot.boot_unix_seconds) + "\r\n";
    text += "Uptime=" + std::to_string(noted.boot.uptime_seconds) + "\r\n";
    text += std::string("Layout=") + (noted.newer_layout ? "newer" : "older") + "\r\n";
    for (int i = 0; i < WatchedCount(noted.newer_layout); ++i) {
        const auto& value = noted.values[static_cast<size_t>(i)];
        // Left empty: nothing was noted, and nothing is handed back to it.
        text += RegisterKey(kWatchedRegisters[static_cast<size_t>(i)]) + "=" +
                (value ? Hex(*value, 2) : std::string()) + "\r\n";
    }
    return SealText(std::move(text));
}

std::optional<NotedPowerOn> ParsePowerOnText(std::string_view text) {
    const std::optional<std::string> body = OpenSealedText(text);
    if (!body) return {};
    IniText ini{*body};
    const auto get = [&](const std::string& key) -> std::optional<std::string> {
        if (!ini.Has(kSection, key)) return {};
        return ini.GetString(kSection, key, {});
    };
    NotedPowerOn noted;
    const auto boot = get("Boot"), uptime = get("Uptime"), layout = get("Layout");
    if (!boot || !uptime || !layout) return {};
    const auto boot_seconds = Whole<std::int64_t>(*boot);
    const auto uptime_seconds = Whole<std::int64_t>(*uptime);
    if (!boot_seconds || !uptime_seconds || (*layout != "newer" && *layout != "older")) return {};
    noted.boot = {*boot_seconds, *uptime_seconds};
    noted.newer_layout = *layout == "newer";
    for (int i = 0; i < WatchedCount(noted.newer_layout); ++i) {
        const auto value = get(RegisterKey(kWatchedRegisters[static_cast<size_t>(i)]));
        if (!value) return {};
        if (value->empty()) continue;
        noted.values[static_cast<size_t>(i)] = ByteValue(*value);
        if (!noted.values[static_cast<size_t>(i)]) return {};
    }
    return noted;
}

PowerOnStore::PowerOnStore(FileSystem& files, FileReplacer& replacer, BootClock& boot,
                           std::string path)
    : files_(files), replacer_(replacer), boot_(boot), path_(std::move(path)) {}

PowerOnValues PowerOnStore::Recall(bool newer_layout, const std::function<PowerOnValues()>& read) {
    const BootStamp now = boot_.Now();
    if (const auto text = files_.ReadFile(path_)) {
        const auto kept = ParsePowerOnText(*text);
        if (kept && kept->newer_layout == newer_layout && SameBoot(kept->boot, now))
            return kept->values;
    }
    const PowerOnValues values = read();
    bool any = false;
    for (const auto& v : values) any = any || v.has_value();
    if (!any) return values;
    const size_t slash = path_.find_last_of('\\');
    if (slash != std::string::npos) files_.MakeFolder(path_.substr(0, slash));
    replacer_.Replace(path_, PowerOnText({now, newer_layout, values}));
    return values;
}

}  // namespace kelvane
