#pragma once
// What the owner publishes after every tick: what its main window and tray show. A view
// applies it to its own Form1, whose window code then draws it as if its cycle had run.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/tray_status.h"
#include "link/wire.h"
#include "state/form1.h"

namespace kelvane::link {

// Every text of the state is cut to this many bytes, which keeps a tick's message within
// kMaxStateBytes whatever the captions.
inline constexpr std::size_t kMaxStateText = 255;
inline constexpr std::size_t kMaxStateBytes = 4096;
inline constexpr std::size_t kTrayTipField = 128;  // the shell's tip field, NUL included

struct DisplayReading {
    std::int32_t temperature = 0;  // Celsius, as the digits were drawn from it
    std::int32_t fan_speed = 0;
    bool alert = false;
};

struct VoltageShown {
    std::string text;  // "5.02 V", or the dash while no reading reaches it
    std::uint32_t color = 0;
    bool visible = false;
    double volts = 0;
    bool checked = false;
    bool in_tolerance = false;
};

struct PublishedState {
    bool has_reading = false;  // the digits and numbers below are this tick's
    bool unreachable = false;
    bool alarm_lasting = false;
    bool critical = false;
    std::int32_t error_code = 0;
    StatusLine status_line = StatusLine::Blank;
    std::string status_text;
    std::uint32_t status_color = 0;
    std::string error_code_text;  // Label3
    std::array<DisplayReading, 3> displays{};
    std::array<std::int32_t, 2> temp_limits{};
    std::array<VoltageShown, 9> voltages{};
    std::vector<std::string> setup_problems;  // short texts, in the order of their weight
    std::uint8_t tray_state = 0;              // TrayState
    std::string tray_tip;
    // The keys a policy sets (indices into the policy table), which a view's dialog greys.
    std::vector<std::size_t> policy_keys;
};

PublishedState StateOf(const Form1& f);
// The same into a state kept from the last tick, so that its texts keep their buffers.
void StateInto(const Form1& f, PublishedState& s, TrayTipCache& tips);
std::string EncodeState(const PublishedState& s);  // the whole frame
void EncodeStateInto(const PublishedState& s, WireWriter& w);
std::optional<PublishedState> DecodeState(std::string_view payload);

// Into a view's Form1: the monitor's numbers and the window's captions and colours, and the
// digits drawn into its surfaces when the owner had a reading.
void ApplyState(const PublishedState& s, Form1& view);

}  // namespace kelvane::link
