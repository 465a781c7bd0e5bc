#pragma once
// The fans' power-on values as first noted since the machine started, kept in a file of their
// own: a Kelvane started again in the same boot (after it was killed, or after a hand-back
// that did not reach the chip) finds the fans at its predecessor's last step, and must hand
// back to what the chip held before any Kelvane wrote it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "failsafe/hand_back.h"

namespace kelvane {

// How far two views of one boot's start may lie apart: the wall clock's corrections while the
// machine runs (a time service's steps) move it. Closer than this, a different boot is taken
// for this one only when it began before the other's values were noted, and then its chip
// was set up by the same firmware.
inline constexpr std::int64_t kBootToleranceSeconds = 300;

bool SameBoot(const BootStamp& noted, const BootStamp& now);

struct NotedPowerOn {
    BootStamp boot;  // when they were noted
    bool newer_layout = false;
    PowerOnValues values{};
};

// An INI text closed by a checksum line; the parse gives nothing for a text that is torn,
// altered or not of this form, and never raises.
std::string PowerOnText(const NotedPowerOn& noted);
std::optional<NotedPowerOn> ParsePowerOnText(std::string_view text);

class PowerOnStore {
  public:
    // `path`: the file, in a folder that is made when missing.
    PowerOnStore(FileSystem& files, FileReplacer& replacer, BootClock& boot, std::string path);

    // The values kept for this boot and layout; otherwise those `read` gives, kept when any of
    // them is known (a chip that could not be read is noted again by the next run). A file
    // that cannot be written leaves the values as read.
    PowerOnValues Recall(bool newer_layout, const std::function<PowerOnValues()>& read);

  private:
    FileSystem& files_;
    FileReplacer& replacer_;
    BootClock& boot_;
    std::string path_;
};

}  // namespace kelvane
