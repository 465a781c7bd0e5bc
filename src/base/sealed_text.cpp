#include "base/sealed_text.h"

#include <cstdint>
#include <cstdio>

namespace kelvane {
namespace {

constexpr std::string_view kCheckKey = "Check=";

std::string CheckValue(std::string_view text) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(h));
    return buffer;
}

}  // namespace

std::string SealText(std::string body) {
    const std::string check = CheckValue(body);
    return body + std::string(kCheckKey) + check + "\r\n";
}

std::optional<std::string> OpenSealedText(std::string_view text) {
    const size_t at = text.rfind(std::string("\n") + std::string(kCheckKey));
    if (at == std::string_view::npos) return {};
    const std::string_view body = text.substr(0, at + 1);
    std::string_view check = text.substr(at + 1 + kCheckKey.size());
    if (check.size() < 2 || check.substr(check.size() - 2) != "\r\n")
        return {};  // the last line's end is missing: cut short
    check.remove_suffix(2);
    if (check != CheckValue(body)) return {};
    return std::string(body);
}

}  // namespace kelvane
