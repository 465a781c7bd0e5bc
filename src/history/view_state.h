#pragma once
// What the History window shows, apart from the drawing: the span and where it ends, the
// keys that move them, the scale of each plot and the values under the crosshair.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "history/span.h"

namespace kelvane::history {

class ViewState {
  public:
    Span span() const { return span_; }
    bool following() const { return following_; }
    // The span's end: now while following, else where scrolling left it.
    std::int64_t End(std::int64_t now) const { return following_ ? now : end_; }

    // Left (-1) and Right (+1) move by a quarter of the span; reaching now follows it again.
    void Scroll(int direction, std::int64_t now);
    // + (-1: shorter) and - (+1: longer); the span keeps its end.
    void Zoom(int direction, std::int64_t now);
    void Choose(Span s) { span_ = s; }
    // End: back to now, however far scrolling went.
    void FollowNow() { following_ = true; }
    // The window opens on what the user came to see: the shortest span that holds the last
    // fault episode in the ring with some time around it, centred on it unless that would
    // reach past now; 10 minutes up to now when the ring holds none.
    void OpenAt(const Ring& ring, std::int64_t now);

  private:
    Span span_ = Span::Hour1;
    bool following_ = true;
    std::int64_t end_ = 0;
};

// A plot's value range with round steps for its grid: low, high, step.
struct Scale {
    double low = 0, high = 1, step = 1;
};
// Covers every present value of the readings [first, first + count) and the extra values.
Scale ScaleFor(const SpanData& d, int first, int count, const std::vector<double>& extra,
               double (*shown)(double));

// One line per reading under the crosshair: "CPU 45.0 C (44..46)"; "-" where none.
struct Named {
    std::string name;
    std::string unit;
};
std::vector<std::string> CrosshairLines(const SpanData& d, int column,
                                        const std::array<Named, kReadings>& names,
                                        const std::array<bool, kReadings>& wanted,
                                        double (*temperature)(double));

// "11:45" or "11:45:31" for short spans, "Jun 12 11:45" for long ones.
std::string AxisTime(std::int64_t t, int offset_minutes, Span s);

}  // namespace kelvane::history
