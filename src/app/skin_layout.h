#pragma once
// Where the design skin draws its frames and the fan displays' unit: computed from the
// controls as they stand, so that a frame takes in every control it groups wherever the
// settings put them. A skin picture replaces all of it.
#include <array>
#include <cstdint>

#include "state/controls.h"

namespace kelvane {

struct TwipRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

struct SkinLayout {
    std::array<TwipRect, 3> frames;  // temperatures, fan speeds, voltages; empty: no control
    std::array<TwipRect, 3> rpm;     // "RPM" over each shown fan display; empty: hidden
};

inline constexpr const char* kFanUnit = "RPM";

SkinLayout DesignSkinLayout(const MainWindowModel& w);

}  // namespace kelvane
