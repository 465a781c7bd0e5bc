#pragma once
// The history's files as a spreadsheet opens them: a header row, one record per line ending
// in CR LF, ISO 8601 local time with its offset, a dot before decimals, empty cells where a
// reading was not taken.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/sample.h"

namespace kelvane::history {

// Readings in column order: temperatures 0..2, fan speeds 0..2, voltage inputs 0..8.
inline constexpr int kReadings = kChannels * 2 + kInputs;
inline constexpr int kFirstFan = kChannels;
inline constexpr int kFirstVolt = kChannels * 2;

// One reading over a minute (or any stretch): nothing when it was never taken.
struct Stat {
    bool present = false;
    double min = 0, mean = 0, max = 0;
};

struct MinuteRow {
    std::int64_t time = 0;  // start of the minute
    int offset_minutes = 0;
    int samples = 0;     // ticks in the minute
    int status = 0;      // the worst status code of the minute
    int lasting_s = 0;   // ticks with a lasting fault
    int critical_s = 0;  // ticks with a critical fault
    int unreachable_s = 0;
    std::array<int, 2> limit{};  // temperature limits of channels 0 and 1, as last read
    std::array<Stat, kReadings> stat{};
    // The software step (PWM) fans 0 and 1 held through the whole minute, every tick of it
    // normal; -1 otherwise. Rows written before the steps were kept have none.
    bool has_step = true;
    std::array<int, 2> step{-1, -1};
};

// Fixed decimals, always with a dot whatever the locale.
std::string FixedText(double value, int decimals);

// What the one-second columns are named after: the main window's headings of the channels and
// the captions of the voltage inputs, so that a file read without the README says what each
// column is. An empty name falls back to the channel's or input's number.
struct ColumnNames {
    std::array<std::string, kChannels> channels;
    std::array<std::string, kInputs> inputs;
};

// The one-second rows of incidents and of a saved ring span: the status code with its words,
// and the limits the tick compared the temperatures with.
std::string SampleHeader(const ColumnNames& names);
std::string SampleRow(const Sample& s, int offset_minutes, const VoltsOf& volts);

// The once-a-minute rows of the day files and of a saved long span.
std::string MinuteHeader();
std::string MinuteRowText(const MinuteRow& row);
// Every row of a day file that reads back whole; the header and damaged lines are skipped.
std::vector<MinuteRow> ReadMinuteRows(std::string_view text);

}  // namespace kelvane::history
