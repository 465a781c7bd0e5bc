#pragma once
// What the History window plots: a stretch of time cut into as many columns as the plots are
// wide, each with the minimum, mean and maximum of every reading, whether a fault was lasting
// (a shaded band) and whether the chip was out of reach or nothing was recorded (a gap). The
// short spans come from the ring, the long ones from the day files.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "history/csv.h"
#include "history/data_folder.h"
#include "history/ring.h"

namespace kelvane::history {

enum class Span { Minutes10, Hour1, Hours24, Days7, Days31 };
inline constexpr int kSpans = 5;
std::int64_t SpanSeconds(Span s);
const char* SpanName(Span s);  // "10 minutes", ..., "31 days"
inline bool FromRing(Span s) { return s <= Span::Hours24; }

struct Column {
    std::array<Stat, kReadings> stat{};
    std::array<int, 2> limit{};  // temperature limits of channels 0 and 1
    bool lasting = false;
    bool gap = true;
    bool jump = false;     // the wall clock was set here: no line leads into this column
    bool minutes = false;  // a day file's minute averages, for want of the ring's seconds
};

struct SpanData {
    std::int64_t begin = 0, end = 0;  // [begin, end)
    std::vector<Column> columns;
    // Columns before this moment show minute averages (0: none do).
    std::int64_t minutes_until = 0;
    // The column a moment falls in, or -1 outside the span.
    int ColumnAt(std::int64_t t) const;
    std::int64_t ColumnStart(int c) const;
};

// After the clock was set back, a moment recorded twice shows its newer recording.
SpanData RingSpan(const Ring& ring, std::int64_t begin, std::int64_t end, int columns,
                  const VoltsOf& volts);
// Where the ring's seconds of [begin, end) begin: `begin` when the ring reaches back that far,
// else its first sample (the program started later), `end` when it is empty.
std::int64_t RingStart(const Ring& ring, std::int64_t begin, std::int64_t end);
// After a restart the columns before `ring_start` that the ring left without a reading show
// the minute rows of the day files, each row in every column its minute overlaps.
void FillBeforeRing(SpanData& d, const std::vector<MinuteRow>& rows, std::int64_t ring_start);
SpanData MinuteSpan(const std::vector<MinuteRow>& rows, std::int64_t begin, std::int64_t end,
                    int columns);

// What a History window draws for [begin, end) in `columns`: the ring's seconds for a span of
// up to a day, with the day files' minutes before the ring's first sample, and the day files'
// minutes alone for a longer span. `day_rows` reads the day files [begin, end) touches.
SpanData SpanOf(const Ring& ring, const VoltsOf& volts, std::int64_t begin, std::int64_t end,
                int columns, const std::function<const std::vector<MinuteRow>&()>& day_rows);

// The day files from `first_day` to `last_day` (local day numbers), read once each: the
// window keeps them while it is open and reads only today's again.
class DayCache {
  public:
    // The rows of those days, each day's in time order; today's file is read anew on every
    // call, and so is a day last read before it had ended.
    const std::vector<MinuteRow>& Rows(FileSystem& files, const DataFolder& folder,
                                       std::int64_t first_day, std::int64_t last_day,
                                       std::int64_t today);
    // The window closed: a month of rows is not kept for an opening that may never come.
    void Clear();
    std::size_t HeldBytes() const;

  private:
    struct Day {
        std::int64_t day;
        std::size_t rows;  // its share of rows_, which holds the days one after another
        bool whole;        // read after it had ended
    };
    void Read(FileSystem& files, const DataFolder& folder, std::int64_t day, std::int64_t today,
              std::vector<MinuteRow>& rows, std::vector<Day>& days) const;

    std::string root_;
    std::vector<Day> days_;
    std::vector<MinuteRow> rows_;
};

// The shown span as a file to attach: one-second rows from the ring, minute rows otherwise.
std::string RingSpanCsv(const Ring& ring, std::int64_t begin, std::int64_t end, int offset_minutes,
                        const VoltsOf& volts, const ColumnNames& names);
std::string MinuteSpanCsv(const std::vector<MinuteRow>& rows, std::int64_t begin, std::int64_t end);

}  // namespace kelvane::history
