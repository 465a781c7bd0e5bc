#pragma once
// Counts of values in fixed bins, for medians over weeks of minutes in a few kilobytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::maintenance {

// Where a histogram's bins lie: `count` bins of `width` from `low`; values outside go into
// the end bins.
struct Scale {
    double low;
    double width;
    int count;
    int BinOf(double value) const;
    double ValueOf(int bin) const { return low + width * bin; }
};

// Fan speeds to 20,470 rpm in 10 rpm; the CPU's rise over the system from -40 C in 0.25 C.
inline constexpr Scale kSpeedScale{0, 10, 2048};
inline constexpr Scale kRiseScale{-40, 0.25, 512};

class Histogram {
  public:
    explicit Histogram(const Scale& scale) : scale_(scale) {}
    void Add(int bin, int delta = 1);
    int total() const { return total_; }
    // The lower median's bin as a value; nothing while empty.
    std::optional<double> Median() const;
    // "bin:count" pairs of the bins that hold any, separated by blanks.
    std::string Text() const;
    // The counts of Text(); false, leaving it empty, for anything else.
    bool Read(std::string_view text);
    const Scale& scale() const { return scale_; }

  private:
    Scale scale_;
    std::vector<std::uint16_t> counts_;  // allocated on the first count
    int total_ = 0;
};

}  // namespace kelvane::maintenance
