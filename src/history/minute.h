#pragma once
// A minute's ticks folded into one row: minimum, mean and maximum of each reading taken, and
// the worst state the machine was in.
#include <array>
#include <cstdint>

#include "history/csv.h"
#include "history/sample.h"

namespace kelvane::history {

// Minimum, maximum and sum of the values added.
struct Sum {
    int count = 0;
    double min = 0, max = 0, sum = 0;
    void Add(double v, int n = 1) { Add(v, v, v * n, n); }
    void Add(double lo, double hi, double total, int n) {
        if (count == 0 || lo < min) min = lo;
        if (count == 0 || hi > max) max = hi;
        sum += total;
        count += n;
    }
    // As a reading; voltages are converted only now, and a falling line swaps the ends.
    Stat ToStat(int reading, const VoltsOf& volts) const;
};

// How bad a tick was, for the minute's worst status: unreachable, then critical, lasting,
// a fault still too young to show, normal.
int Severity(const Sample& s);

class MinuteAccumulator {
  public:
    bool empty() const { return samples_ == 0; }
    void Add(const Sample& s);
    // The row of the ticks added so far, then empty again. Voltages are converted here, once
    // a minute, rather than on every tick.
    MinuteRow Take(std::int64_t minute_start, int offset_minutes, const VoltsOf& volts);

  private:
    std::array<Sum, kReadings> sums_{};
    int samples_ = 0, lasting_ = 0, critical_ = 0, unreachable_ = 0;
    int worst_status_ = 0, worst_severity_ = -1;
    std::array<int, 2> limit_{};
    std::array<std::int8_t, 2> step_{};  // the first tick's, or -1 once a tick differs
};

}  // namespace kelvane::history
