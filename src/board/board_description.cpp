#include "board/board_description.h"

#include <cctype>
#include <type_traits>

#include "base/ini_text.h"

namespace kelvane::board {
namespace {

std::optional<long long> ParseDigits(const std::string& text, size_t from, int base) {
    if (from >= text.size() || text.size() - from > 12) return std::nullopt;
    long long n = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        n = n * base + digit;
    }
    return n;
}

bool HexPrefix(const std::string& text, size_t at) {
    return text.size() > at + 1 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
}

class Reader {
  public:
    explicit Reader(const std::string& text) : ini_(text) {}

    std::vector<std::string> Keys(const std::string& section) const { return ini_.Keys(section); }
    // A ";" after a value starts a comment, so a description copied with its notes still
    // describes what it says.
    std::string Value(const std::string& section, const std::string& key) {
        std::string v = ini_.GetString(section, key, {});
        v = v.substr(0, v.find(';'));
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
        return v;
    }

    // A number within [lo, hi], or nothing with a problem noted.
    template <typename T>
    std::optional<T> Number(const std::string& section, const std::string& key, long long lo,
                            long long hi) {
        const std::string value = Value(section, key);
        const std::optional<long long> n = ParseBoardNumber(value);
        if (!n || *n < lo || *n > hi) {
            Problem(section, key + "=" + value + " is not a number from " + std::to_string(lo) +
                                 " to " + std::to_string(hi));
            return std::nullopt;
        }
        return static_cast<T>(*n);
    }

    void RegisterTable(const std::string& section,
                       std::vector<std::pair<std::uint8_t, std::uint8_t>>& out) {
        for (const std::string& key : Keys(section)) {
            const std::optional<std::uint8_t> reg = ParseRegisterName(key);
            if (!reg) {
                Problem(section, "'" + key + "' is not a register number");
                continue;
            }
            if (const auto v = Number<std::uint8_t>(section, key, 0, 255))
                out.emplace_back(*reg, *v);
        }
    }

    void Problem(const std::string& section, const std::string& what) {
        problems.push_back("[" + section + "] " + what);
    }

    std::vector<std::string> problems;

  private:
    IniText ini_;
};

bool SameKey(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

void ReadChip(Reader& r, BoardDescription& d) {
    for (const std::string& key : r.Keys("Chip")) {
        if (SameKey(key, "Id")) {
            d.chip_id = r.Number<std::uint8_t>("Chip", key, 0, 255);
        } else if (SameKey(key, "Revision")) {
            d.revision = r.Number<std::uint8_t>("Chip", key, 0, 255);
        } else if (SameKey(key, "Address")) {
            d.address = r.Number<std::uint16_t>("Chip", key, 0, 0xFFFF);
        } else {
            r.Problem("Chip", "unknown key '" + key + "'");
        }
    }
}

void ReadThermal(Reader& r, ThermalParams& t) {
    static const char* const kSection = "Thermal";
    for (const std::string& key : r.Keys(kSection)) {
        const auto number = [&](long long lo, long long hi) {
            return r.Number<long long>(kSection, key, lo, hi);
        };
        const auto set = [](auto& field, std::optional<long long> v, double scale = 1) {
            if (v) field = static_cast<std::remove_reference_t<decltype(field)>>(*v * scale);
        };
        bool known = true;
        if (SameKey(key, "Enabled")) {
            if (const auto v = number(0, 1)) t.enabled = *v != 0;
        } else if (SameKey(key, "Ambient")) {
            set(t.ambient_c, number(-60, 120));
        } else if (SameKey(key, "Cooling")) {
            set(t.cooling, number(0, 100), 0.01);
        } else if (SameKey(key, "TimeConstant")) {
            set(t.time_constant_s, number(0, 3600));
        } else if (SameKey(key, "StallPwm")) {
            set(t.stall_pwm, number(0, 128));
        } else if (SameKey(key, "Spin")) {
            set(t.spin, number(0, 100), 0.01);
        } else if (SameKey(key, "Wave")) {
            set(t.wave, number(0, 100), 0.01);
        } else if (SameKey(key, "Period")) {
            set(t.period_s, number(1, 86400));
        } else {
            known = false;
            for (int n = 0; n < 3; ++n) {
                const std::string digit(1, static_cast<char>('0' + n));
                if (SameKey(key, ("Heat" + digit).c_str())) {
                    set(t.heat_c[n], number(-100, 200));
                    known = true;
                } else if (SameKey(key, ("MaxRpm" + digit).c_str())) {
                    set(t.max_rpm[n], number(0, 1000000));
                    known = true;
                }
            }
        }
        if (!known) r.Problem(kSection, "unknown key '" + key + "'");
    }
}

}  // namespace

std::optional<long long> ParseBoardNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const bool negative = text[0] == '-';
    const size_t start = negative ? 1 : 0;
    const std::optional<long long> n =
        HexPrefix(text, start) ? ParseDigits(text, start + 2, 16) : ParseDigits(text, start, 10);
    if (!n) return std::nullopt;
    return negative ? -*n : *n;
}

std::optional<std::uint8_t> ParseRegisterName(const std::string& text) {
    const std::optional<long long> n = ParseDigits(text, HexPrefix(text, 0) ? 2 : 0, 16);
    if (!n || *n > 0xFF) return std::nullopt;
    return static_cast<std::uint8_t>(*n);
}

BoardDescription ParseBoardDescription(const std::string& text) {
    Reader r(text);
    BoardDescription d;
    ReadChip(r, d);
    r.RegisterTable("Registers", d.registers);
    r.RegisterTable("Hold", d.holds);
    ReadThermal(r, d.thermal);
    for (const std::string& key : r.Keys("Speaker")) {
        if (SameKey(key, "Port61")) {
            d.port61 = r.Number<std::uint8_t>("Speaker", key, 0, 255);
        } else {
            r.Problem("Speaker", "unknown key '" + key + "'");
        }
    }
    for (const std::string& key : r.Keys("Faults")) {
        if (SameKey(key, "OpenBus")) {
            d.open_bus = r.Number<std::uint8_t>("Faults", key, 0, 255);
        } else if (SameKey(key, "CrashAtCall")) {
            d.crash_at_call = r.Number<long long>("Faults", key, 1, 1000000000);
        } else if (SameKey(key, "CrashAtPort")) {
            d.crash_at_port = r.Number<std::uint16_t>("Faults", key, 0, 0xFFFF);
        } else {
            r.Problem("Faults", "unknown key '" + key + "'");
        }
    }
    d.problems = std::move(r.problems);
    return d;
}

}  // namespace kelvane::board
