#include "history/civil_time.h"

#include <cstdio>

namespace kelvane::history {
namespace {

struct Civil {
    int year, month, day;
};

// The proleptic Gregorian calendar by eras of 400 years.
Civil CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (month <= 2)), month, day};
}

// Exactly `n` digits at text[at].
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t n) {
    if (at + n > text.size()) return std::nullopt;
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

bool ValidDate(int y, int m, int d) {
    if (m < 1 || m > 12 || d < 1) return false;
    const Civil back = CivilFromDays(DaysFromCivil(y, m, d));
    return back.year == y && back.month == m && back.day == d;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2);
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

LocalTime ToLocal(std::int64_t unix_seconds, int offset_minutes) {
    const std::int64_t local = unix_seconds + std::int64_t{offset_minutes} * 60;
    const std::int64_t days = FloorDiv(local, 86400);
    const std::int64_t rest = local - days * 86400;
    const Civil c = CivilFromDays(days);
    return {c.year,
            c.month,
            c.day,
            static_cast<int>(rest / 3600),
            static_cast<int>(rest / 60 % 60),
            static_cast<int>(rest % 60),
            offset_minutes};
}

std::int64_t LocalDay(std::int64_t unix_seconds, int offset_minutes) {
    return FloorDiv(unix_seconds + std::int64_t{offset_minutes} * 60, 86400);
}

std::string IsoText(std::int64_t unix_seconds, int offset_minutes) {
    const LocalTime t = ToLocal(unix_seconds, offset_minutes);
    const int off = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, offset_minutes < 0 ? '-' : '+', off / 60,
                  off % 60);
    return text;
}

std::optional<std::int64_t> ParseIso(std::string_view text) {
    if (text.size() != 25 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || (text[19] != '+' && text[19] != '-') ||
        text[22] != ':')
        return std::nullopt;
    const auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    const auto oh = Digits(text, 20, 2), om = Digits(text, 23, 2);
    if (!y || !mo || !d || !h || !mi || !s || !oh || !om) return std::nullopt;
    if (!ValidDate(*y, *mo, *d) || *h > 23 || *mi > 59 || *s > 59 || *om > 59) return std::nullopt;
    const int offset = (text[19] == '-' ? -1 : 1) * (*oh * 60 + *om);
    return DaysFromCivil(*y, *mo, *d) * 86400 + *h * 3600 + *mi * 60 + *s -
           std::int64_t{offset} * 60;
}

std::string DayText(std::int64_t local_day) {
    const Civil c = CivilFromDays(local_day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

std::optional<std::int64_t> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
    if (!y || !m || !d || !ValidDate(*y, *m, *d)) return std::nullopt;
    return DaysFromCivil(*y, *m, *d);
}

std::string StampText(std::int64_t unix_seconds, int offset_minutes) {
    const LocalTime t = ToLocal(unix_seconds, offset_minutes);
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace kelvane::history
