#pragma once
// Local calendar time from seconds since 1970 and the UTC offset the clock gives for them, in
// the ISO 8601 forms the history's files use.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::history {

// Rounded towards minus infinity, so that times before 1970 fall in their own minute and day.
constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int offset_minutes = 0;
};

std::int64_t DaysFromCivil(int year, int month, int day);
LocalTime ToLocal(std::int64_t unix_seconds, int offset_minutes);
// The local day number (days since 1970-01-01 in local time).
std::int64_t LocalDay(std::int64_t unix_seconds, int offset_minutes);

// "2026-06-12T11:45:31+02:00"
std::string IsoText(std::int64_t unix_seconds, int offset_minutes);
// Seconds since 1970 of such a text (its own offset applies); nothing for any other text.
std::optional<std::int64_t> ParseIso(std::string_view text);

// "2026-06-12" of a local day number, and back (nothing unless the name is exactly a date).
std::string DayText(std::int64_t local_day);
std::optional<std::int64_t> ParseDay(std::string_view text);

// "20260612-114531": an incident's file name begins with it, so names sort by time.
std::string StampText(std::int64_t unix_seconds, int offset_minutes);

}  // namespace kelvane::history
