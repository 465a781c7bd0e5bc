#pragma once
// The machine's state after a tick as a Prometheus text exposition (format 0.0.4): gauges and
// one counter, ASCII, ending with a line feed, as a textfile collector reads it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/form1.h"

namespace kelvane {

inline constexpr const char* kKelvaneVersion = "5.07";

// A label value as the format writes it between quotes: backslash, quote and line feed
// escaped; bytes outside printable ASCII become '?'.
std::string EscapeLabelValue(const std::string& value);

// "older", "newer" or "newer-delta": the fan-control register layout identification chose;
// "unknown" while the chip is not identified.
const char* LayoutName(const Form1& f);

// The counters the file shows that are kept outside the program state.
struct MetricsCounts {
    long restored = 0;  // times the chip was programmed again since start
    std::uint64_t views_dropped = 0;
};

// Builds the file after each tick. Everything but the numbers (help lines, names, labels)
// only changes with the captions, the shown inputs or the chip, so it is laid out once and
// then only the numbers are filled in: the file costs the tick little.
class MetricsFile {
  public:
    // kelvane_info's `owner`: "service" when the service drives the chip, else "window".
    void OwnedBy(std::string owner) {
        owner_ = std::move(owner);
        laid_out_ = false;
    }

    // The whole file; valid until the next call.
    std::string_view Text(const Form1& f, double unix_seconds, const MetricsCounts& counts = {});
    // The whole file in the first bytes of `buffer`, which grows only when it is too short
    // for the layout; returns the file's length.
    std::size_t Build(const Form1& f, double unix_seconds, std::string& buffer,
                      const MetricsCounts& counts = {});

  private:
    enum class Slot : std::uint8_t {
        Temperature,
        FanSpeed,
        Limit,
        Volts,
        InTolerance,
        Status,
        Lasting,
        Critical,
        Reachable,
        SetupProblem,
        Timestamp,
        Restored,
        ViewsDropped,
        PolicyValues,
        FanRatio,
        RiseExcess
    };
    struct Piece {
        std::string before;  // constant text up to the number
        Slot slot;
        int index;
    };
    // What the constant text depends on.
    struct Shape {
        std::array<std::string, 3> tags;  // of the temperature displays: their headings
        std::array<std::string, 3> headings;
        std::array<std::string, 9> input_names;
        std::array<bool, 9> shown{};
        std::array<bool, 9> checked{};
        bool reading = false;
        int chip_id = -2, chip_revision = -2;
        bool chip_identified = false;
        const char* driver = "";
        i16 fan_flag = 0, special_flag = 0;
        // Change once a minute at most: written into the layout rather than every tick.
        bool baseline_ready = false;
        std::array<bool, 3> notices{};
    };
    bool SameShape(const Form1& f) const;
    void TakeShape(const Form1& f);
    void Layout(const Form1& f);
    std::size_t Fill(const Form1& f, double unix_seconds, std::string& buffer,
                     const MetricsCounts& counts);

    const PortDriver* driver_ = nullptr;  // whose library facts_ describes
    const DriverLibraryFacts* facts_ = nullptr;
    bool laid_out_ = false;
    Shape shape_;
    std::vector<Piece> pieces_;
    std::string after_;     // constant text after the last number
    std::size_t room_ = 0;  // the longest the file can be with this layout
    std::string text_;      // Text()'s buffer
    std::string owner_ = "window";
};

}  // namespace kelvane
