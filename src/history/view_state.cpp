#include "history/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "history/civil_time.h"
#include "history/incident.h"

namespace kelvane::history {

void ViewState::Scroll(int direction, std::int64_t now) {
    const std::int64_t end = End(now) + direction * SpanSeconds(span_) / 4;
    following_ = end >= now;
    end_ = following_ ? now : end;
}

void ViewState::Zoom(int direction, std::int64_t now) {
    const int s = std::clamp(static_cast<int>(span_) + direction, 0, kSpans - 1);
    end_ = End(now);
    span_ = static_cast<Span>(s);
}

namespace {

// First and last second of the newest run of lasting samples, runs less than an incident's
// normal tail apart counting as one; false when the ring holds no lasting sample.
bool LastEpisode(const Ring& ring, std::int64_t& first, std::int64_t& last) {
    std::size_t i = ring.size();
    while (i > 0 && !ring.at(i - 1).lasting()) --i;
    if (i == 0) return false;
    last = first = ring.at(--i).time;
    for (; i > 0; --i) {
        const Sample& s = ring.at(i - 1);
        // What came before the clock was set back is on another time line.
        if (s.time > ring.at(i).time || first - s.time > kIncidentAfter) break;
        if (s.lasting()) first = s.time;
    }
    return true;
}

}  // namespace

void ViewState::OpenAt(const Ring& ring, std::int64_t now) {
    following_ = true;
    span_ = Span::Minutes10;
    std::int64_t first = 0, last = 0;
    if (!LastEpisode(ring, first, last)) return;
    // A quarter of the span or more around it, so that its begin and end both show.
    const std::int64_t lasted = last - first + 1;
    while (span_ < Span::Hours24 && SpanSeconds(span_) < lasted * 3 / 2 + 60)
        span_ = static_cast<Span>(static_cast<int>(span_) + 1);
    const std::int64_t end = first + (lasted + SpanSeconds(span_)) / 2;
    following_ = end >= now;
    end_ = following_ ? now : end;
}

Scale ScaleFor(const SpanData& d, int first, int count, const std::vector<double>& extra,
               double (*shown)(double)) {
    bool any = false;
    double lo = 0, hi = 0;
    const auto take = [&](double v) {
        v = shown(v);
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    };
    for (const Column& c : d.columns)
        for (int i = first; i < first + count; ++i)
            if (c.stat[static_cast<std::size_t>(i)].present) {
                take(c.stat[static_cast<std::size_t>(i)].min);
                take(c.stat[static_cast<std::size_t>(i)].max);
            }
    for (double v : extra) take(v);
    if (!any) return {};
    if (hi - lo < 1e-9) {
        lo -= 1;
        hi += 1;
    }
    // A step of 1, 2 or 5 times a power of ten, four to eight of them over the range.
    const double raw = (hi - lo) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

std::vector<std::string> CrosshairLines(const SpanData& d, int column,
                                        const std::array<Named, kReadings>& names,
                                        const std::array<bool, kReadings>& wanted,
                                        double (*temperature)(double)) {
    std::vector<std::string> lines;
    if (column < 0 || column >= static_cast<int>(d.columns.size())) return lines;
    const Column& c = d.columns[static_cast<std::size_t>(column)];
    for (int i = 0; i < kReadings; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (!wanted[k]) continue;
        std::string line = names[k].name + " ";
        const Stat& s = c.stat[k];
        if (!s.present) {
            lines.push_back(line + "-");
            continue;
        }
        const int decimals = i >= kFirstVolt ? 2 : 0;
        const auto shown = [&](double v) { return i < kFirstFan ? temperature(v) : v; };
        line += FixedText(shown(s.mean), decimals) + " " + names[k].unit;
        if (s.min != s.max)
            line += " (" + FixedText(shown(s.min), decimals) + ".." +
                    FixedText(shown(s.max), decimals) + ")";
        lines.push_back(line);
    }
    if (c.gap) lines.push_back("not reached or not recorded");
    if (c.lasting) lines.push_back("lasting fault");
    if (c.minutes) lines.push_back("minute average from the day file");
    return lines;
}

std::string AxisTime(std::int64_t t, int offset_minutes, Span s) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const LocalTime l = ToLocal(t, offset_minutes);
    char text[48];
    if (s == Span::Minutes10)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", l.hour, l.minute, l.second);
    else if (FromRing(s))
        std::snprintf(text, sizeof text, "%02d:%02d", l.hour, l.minute);
    else
        std::snprintf(text, sizeof text, "%s %d %02d:%02d", kMonths[(l.month + 11) % 12], l.day,
                      l.hour, l.minute);
    return text;
}

}  // namespace kelvane::history
