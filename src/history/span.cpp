#include "history/span.h"

#include <algorithm>

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

void Publish(SpanData& d, const std::vector<ColumnSums>& sums, const VoltsOf& volts) {
    for (std::size_t c = 0; c < sums.size(); ++c) {
        Column& col = d.columns[c];
        col.lasting = sums[c].lasting;
        col.gap = !sums[c].reached;
        col.limit = sums[c].limit;
        for (int i = 0; i < kReadings; ++i)
            col.stat[static_cast<std::size_t>(i)] =
                sums[c].sums[static_cast<std::size_t>(i)].ToStat(i, volts);
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

SpanData RingSpan(const Ring& ring, std::int64_t begin, std::int64_t end, int columns,
                  const VoltsOf& volts) {
    SpanData d = Shape(begin, end, columns);
    std::vector<ColumnSums> sums(d.columns.size());
    for (std::size_t i = ring.FirstAtOrAfter(begin); i < ring.size(); ++i) {
        const Sample& s = ring.at(i);
        const int c = d.ColumnAt(s.time);
        if (c < 0) {
            if (s.time >= d.end) break;
            continue;
        }
        ColumnSums& cs = sums[static_cast<std::size_t>(c)];
        cs.seen = true;
        cs.lasting = cs.lasting || s.lasting();
        if (!s.has_reading()) continue;
        cs.reached = true;
        cs.limit = {s.limit[0], s.limit[1]};
        for (std::size_t n = 0; n < kChannels; ++n) {
            cs.sums[n].Add(s.temp[n]);
            cs.sums[kFirstFan + n].Add(s.fan[n]);
        }
        for (int v = 0; v < kInputs; ++v)
            if (s.shown(v))
                cs.sums[kFirstVolt + static_cast<std::size_t>(v)].Add(
                    s.volt[static_cast<std::size_t>(v)]);
    }
    Publish(d, sums, volts);
    // A timer tick a little late leaves a second without a sample; that is no gap, only a
    // stretch the chip was out of reach or nothing ran is.
    for (std::size_t c = 1; c + 1 < sums.size(); ++c) {
        if (sums[c].seen || !d.columns[c].gap) continue;
        std::size_t e = c;
        while (e < sums.size() && !sums[e].seen) ++e;
        if (e < sums.size() && !d.columns[c - 1].gap && !d.columns[e].gap &&
            d.ColumnStart(static_cast<int>(e)) - d.ColumnStart(static_cast<int>(c)) <= 2)
            for (std::size_t i = c; i < e; ++i) d.columns[i].gap = false;
        c = e;
    }
    return d;
}

SpanData MinuteSpan(const std::vector<MinuteRow>& rows, std::int64_t begin, std::int64_t end,
                    int columns) {
    SpanData d = Shape(begin, end, columns);
    std::vector<ColumnSums> sums(d.columns.size());
    const auto first =
        std::lower_bound(rows.begin(), rows.end(), begin,
                         [](const MinuteRow& r, std::int64_t t) { return r.time < t; });
    for (auto it = first; it != rows.end() && it->time < d.end; ++it) {
        const MinuteRow& r = *it;
        ColumnSums& cs = sums[static_cast<std::size_t>(d.ColumnAt(r.time))];
        cs.lasting = cs.lasting || r.lasting_s > 0;
        const int reached = r.samples - r.unreachable_s;
        // A minute that read no temperature held no reading, outage or not.
        if (reached <= 0 || !r.stat[0].present) continue;
        cs.reached = true;
        cs.limit = r.limit;
        for (std::size_t i = 0; i < kReadings; ++i) {
            const Stat& s = r.stat[i];
            if (s.present) cs.sums[i].Add(s.min, s.max, s.mean * reached, reached);
        }
    }
    // Minute rows hold volts already.
    Publish(d, sums, [](int, double v) { return v; });
    return d;
}

const std::vector<MinuteRow>& DayCache::Rows(FileSystem& files, const DataFolder& folder,
                                             std::int64_t first_day, std::int64_t last_day,
                                             std::int64_t today) {
    if (folder.root != root_) {
        root_ = folder.root;
        days_.clear();
    }
    std::vector<Day> kept;
    for (std::int64_t day = first_day; day <= last_day; ++day) {
        auto it =
            std::find_if(days_.begin(), days_.end(), [&](const Day& d) { return d.day == day; });
        if (it != days_.end() && day < today) {
            kept.push_back(std::move(*it));
            continue;
        }
        const auto text = files.ReadFile(folder.DayFile(day));
        kept.push_back({day, text ? ReadMinuteRows(*text) : std::vector<MinuteRow>{}});
    }
    days_ = std::move(kept);
    rows_.clear();
    std::size_t count = 0;
    for (const Day& d : days_) count += d.rows.size();
    rows_.reserve(count);
    for (const Day& d : days_) rows_.insert(rows_.end(), d.rows.begin(), d.rows.end());
    // In order unless the clock was set back; only then is sorting worth its cost.
    const auto earlier = [](const MinuteRow& a, const MinuteRow& b) { return a.time < b.time; };
    if (!std::is_sorted(rows_.begin(), rows_.end(), earlier))
        std::stable_sort(rows_.begin(), rows_.end(), earlier);
    return rows_;
}

std::string RingSpanCsv(const Ring& ring, std::int64_t begin, std::int64_t end, int offset_minutes,
                        const VoltsOf& volts) {
    std::string text = SampleHeader();
    for (std::size_t i = ring.FirstAtOrAfter(begin); i < ring.size() && ring.at(i).time < end; ++i)
        text += SampleRow(ring.at(i), offset_minutes, volts);
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
