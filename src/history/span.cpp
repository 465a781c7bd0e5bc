#include "history/span.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "history/minute.h"

namespace kelvane::history {
namespace {

struct ColumnSums {
    std::array<Sum, kReadings> sums{};
    std::array<int, 2> limit{};
    bool lasting = false;
    bool reached = false;
    bool seen = false;  // any sample, reached or not
};

SpanData Shape(std::int64_t begin, std::int64_t end, int columns) {
    SpanData d;
    d.begin = begin;
    d.end = std::max(end, begin + 1);
    d.columns.resize(static_cast<std::size_t>(std::max(columns, 1)));
    return d;
}

void PublishColumn(Column& col, const ColumnSums& sums, const VoltsOf& volts) {
    col.lasting = sums.lasting;
    col.gap = !sums.reached;
    col.limit = sums.limit;
    for (int i = 0; i < kReadings; ++i)
        col.stat[static_cast<std::size_t>(i)] =
            sums.sums[static_cast<std::size_t>(i)].ToStat(i, volts);
}

void Publish(SpanData& d, const std::vector<ColumnSums>& sums, const VoltsOf& volts) {
    for (std::size_t c = 0; c < sums.size(); ++c) PublishColumn(d.columns[c], sums[c], volts);
}

// Minute rows hold volts already.
double AsVolts(int, double v) { return v; }

void AddRow(ColumnSums& cs, const MinuteRow& r) {
    cs.seen = true;
    cs.lasting = cs.lasting || r.lasting_s > 0;
    const int reached = r.samples - r.unreachable_s;
    // A minute that read no temperature held no reading, outage or not.
    if (reached <= 0 || !r.stat[0].present) return;
    cs.reached = true;
    cs.limit = r.limit;
    for (std::size_t i = 0; i < kReadings; ++i) {
        const Stat& s = r.stat[i];
        if (s.present) cs.sums[i].Add(s.min, s.max, s.mean * reached, reached);
    }
}

}  // namespace

std::int64_t SpanSeconds(Span s) {
    constexpr std::array<std::int64_t, kSpans> kSeconds = {600, 3600, 86400, 7 * 86400, 31 * 86400};
    return kSeconds[static_cast<std::size_t>(s)];
}

const char* SpanName(Span s) {
    constexpr std::array<const char*, kSpans> kNames = {"10 minutes", "1 hour", "24 hours",
                                                        "7 days", "31 days"};
    return kNames[static_cast<std::size_t>(s)];
}

int SpanData::ColumnAt(std::int64_t t) const {
    if (t < begin || t >= end || columns.empty()) return -1;
    return static_cast<int>((t - begin) * static_cast<std::int64_t>(columns.size()) /
                            (end - begin));
}

std::int64_t SpanData::ColumnStart(int c) const {
    return begin + (end - begin) * c / static_cast<std::int64_t>(columns.size());
}

namespace {

// Calls `take(i, jumped)` for the ring's samples in [begin, end), newest first: a moment the
// clock came to twice gives only its newer recording, and `jumped` tells that the clock was
// set between sample i and the one before it.
template <typename Take>
void EachShown(const Ring& ring, std::int64_t begin, std::int64_t end, Take take) {
    std::int64_t earliest = INT64_MAX;  // of the newer samples
    for (std::size_t i = ring.size(); i-- > 0 && earliest >= begin;) {
        const Sample& s = ring.at(i);
        // Two ticks in one second are both kept; the same second before a set-back is not.
        if (s.time > earliest || (s.time == earliest && ring.at(i + 1).time != s.time)) continue;
        earliest = s.time;
        if (s.time < end && s.time >= begin)
            take(i, i > 0 && ClockJumped(ring.at(i - 1).time, s.time));
    }
}

}  // namespace

SpanData RingSpan(const Ring& ring, std::int64_t begin, std::int64_t end, int columns,
                  const VoltsOf& volts) {
    SpanData d = Shape(begin, end, columns);
    std::vector<ColumnSums> sums(d.columns.size());
    std::vector<bool> jump(d.columns.size());
    EachShown(ring, begin, d.end, [&](std::size_t i, bool jumped) {
        const Sample& s = ring.at(i);
        const auto c = static_cast<std::size_t>(d.ColumnAt(s.time));
        if (jumped) jump[c] = true;
        ColumnSums& cs = sums[c];
        cs.seen = true;
        cs.lasting = cs.lasting || s.lasting();
        if (!s.has_reading()) return;
        if (!cs.reached) cs.limit = {s.limit[0], s.limit[1]};  // the newest
        cs.reached = true;
        for (std::size_t n = 0; n < kChannels; ++n) {
            cs.sums[n].Add(s.temp[n]);
            cs.sums[kFirstFan + n].Add(s.fan[n]);
        }
        for (int v = 0; v < kInputs; ++v)
            if (s.shown(v))
                cs.sums[kFirstVolt + static_cast<std::size_t>(v)].Add(
                    s.volt[static_cast<std::size_t>(v)]);
    });
    Publish(d, sums, volts);
    for (std::size_t c = 0; c < jump.size(); ++c) d.columns[c].jump = jump[c];
    // A timer tick a little late leaves a second without a sample; that is no gap, only a
    // stretch the chip was out of reach or nothing ran is.
    for (std::size_t c = 1; c + 1 < sums.size(); ++c) {
        if (sums[c].seen || !d.columns[c].gap) continue;
        std::size_t e = c;
        while (e < sums.size() && !sums[e].seen) ++e;
        if (e < sums.size() && !d.columns[c - 1].gap && !d.columns[e].gap && !jump[e] &&
            d.ColumnStart(static_cast<int>(e)) - d.ColumnStart(static_cast<int>(c)) <= kLateTick)
            for (std::size_t i = c; i < e; ++i) d.columns[i].gap = false;
        c = e;
    }
    return d;
}

SpanData MinuteSpan(const std::vector<MinuteRow>& rows, std::int64_t begin, std::int64_t end,
                    int columns) {
    SpanData d = Shape(begin, end, columns);
    std::vector<ColumnSums> sums(d.columns.size());
    // Every row is looked at: after the clock was set back they are in time order only day
    // by day, and a month is a few ten thousand rows.
    for (const MinuteRow& r : rows) {
        const int c = d.ColumnAt(r.time);
        if (c >= 0) AddRow(sums[static_cast<std::size_t>(c)], r);
    }
    Publish(d, sums, &AsVolts);
    return d;
}

std::int64_t RingStart(const Ring& ring, std::int64_t begin, std::int64_t end) {
    if (ring.size() == 0) return end;
    // Only the program's first sample can begin the seconds late: before a set-back clock
    // there are older ones.
    if (ring.FirstAtOrAfter(begin) > 0) return begin;
    return std::clamp(ring.at(0).time, begin, end);
}

SpanData SpanOf(const Ring& ring, const VoltsOf& volts, std::int64_t begin, std::int64_t end,
                int columns, const std::function<const std::vector<MinuteRow>&()>& day_rows) {
    if (end - begin > SpanSeconds(Span::Hours24))
        return MinuteSpan(day_rows(), begin, end, columns);
    SpanData d = RingSpan(ring, begin, end, columns, volts);
    const std::int64_t ring_start = RingStart(ring, begin, end);
    if (ring_start > begin) FillBeforeRing(d, day_rows(), ring_start);
    return d;
}

void FillBeforeRing(SpanData& d, const std::vector<MinuteRow>& rows, std::int64_t ring_start) {
    const std::int64_t until = std::min(ring_start, d.end);
    if (until <= d.begin) return;
    std::vector<ColumnSums> sums(d.columns.size());
    for (const MinuteRow& r : rows) {
        const std::int64_t from = std::max(r.time, d.begin), to = std::min(r.time + 60, until);
        if (from >= to) continue;
        for (int c = d.ColumnAt(from), e = d.ColumnAt(to - 1); c <= e; ++c)
            AddRow(sums[static_cast<std::size_t>(c)], r);
    }
    for (std::size_t c = 0; c < sums.size(); ++c) {
        Column& col = d.columns[c];
        if (!sums[c].seen || !col.gap || col.lasting) continue;
        PublishColumn(col, sums[c], &AsVolts);
        col.minutes = true;
        d.minutes_until = until;
    }
}

const std::vector<MinuteRow>& DayCache::Rows(FileSystem& files, const DataFolder& folder,
                                             std::int64_t first_day, std::int64_t last_day,
                                             std::int64_t today) {
    if (folder.root != root_) {
        Clear();
        root_ = folder.root;
    }
    // What is kept is one run of whole days inside the new range; the rest is read.
    std::size_t drop = 0, front = 0;
    while (front < days_.size() && days_[front].day < first_day) drop += days_[front++].rows;
    days_.erase(days_.begin(), days_.begin() + static_cast<std::ptrdiff_t>(front));
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(drop));
    while (!days_.empty() && (days_.back().day > last_day || !days_.back().whole)) {
        rows_.resize(rows_.size() - days_.back().rows);
        days_.pop_back();
    }
    if (days_.empty()) rows_.clear();
    const std::int64_t kept_from = days_.empty() ? first_day : days_.front().day;
    if (first_day < kept_from) {
        std::vector<MinuteRow> rows;
        std::vector<Day> days;
        for (std::int64_t day = first_day; day < kept_from; ++day)
            Read(files, folder, day, today, rows, days);
        rows_.insert(rows_.begin(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.end()));
        days_.insert(days_.begin(), days.begin(), days.end());
    }
    for (std::int64_t day = days_.empty() ? first_day : days_.back().day + 1; day <= last_day;
         ++day)
        Read(files, folder, day, today, rows_, days_);
    return rows_;
}

void DayCache::Read(FileSystem& files, const DataFolder& folder, std::int64_t day,
                    std::int64_t today, std::vector<MinuteRow>& rows,
                    std::vector<Day>& days) const {
    const auto text = files.ReadFile(folder.DayFile(day));
    const std::size_t from = rows.size();
    if (text) {
        std::vector<MinuteRow> read = ReadMinuteRows(*text);
        rows.insert(rows.end(), std::make_move_iterator(read.begin()),
                    std::make_move_iterator(read.end()));
    }
    // In order unless the clock was set back; only then is sorting worth its cost.
    const auto earlier = [](const MinuteRow& a, const MinuteRow& b) { return a.time < b.time; };
    const auto first = rows.begin() + static_cast<std::ptrdiff_t>(from);
    if (!std::is_sorted(first, rows.end(), earlier)) std::stable_sort(first, rows.end(), earlier);
    days.push_back({day, rows.size() - from, day < today});
}

void DayCache::Clear() {
    root_.clear();
    // Assigning {} would keep the capacity.
    days_ = std::vector<Day>();
    rows_ = std::vector<MinuteRow>();
}

std::size_t DayCache::HeldBytes() const {
    return rows_.capacity() * sizeof(MinuteRow) + days_.capacity() * sizeof(Day);
}

std::string RingSpanCsv(const Ring& ring, std::int64_t begin, std::int64_t end, int offset_minutes,
                        const VoltsOf& volts, const ColumnNames& names) {
    std::vector<std::size_t> shown;
    EachShown(ring, begin, end, [&](std::size_t i, bool) { shown.push_back(i); });
    std::string text = SampleHeader(names);
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        text += SampleRow(ring.at(*it), offset_minutes, volts);
    return text;
}

std::string MinuteSpanCsv(const std::vector<MinuteRow>& rows, std::int64_t begin,
                          std::int64_t end) {
    std::string text = MinuteHeader();
    for (const MinuteRow& r : rows)
        if (r.time >= begin && r.time < end) text += MinuteRowText(r);
    return text;
}

}  // namespace kelvane::history
