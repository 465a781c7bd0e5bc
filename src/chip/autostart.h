#pragma once
// Starting with Windows. ExecuteAtStartup (like SoundWarnning) holds two things in one number:
// bit 1 switches the feature on, bit 0 keeps the choice (start minimised), which survives while
// the feature is off. The Run value "Kelvane" follows bit 1.
#include <cstdint>
#include <optional>
#include <string>

#include "base/int16.h"
#include "base/platform.h"
#include "base/profile.h"

namespace kelvane {

inline i16 FeatureBits(int on, int choice) { return static_cast<i16>(2 * on + choice); }

// The value with the feature switched on or off and its choice kept.
inline i16 SwitchFeature(i16 value, bool on) { return FeatureBits(on ? 1 : 0, value & 1); }

// Writes or removes the Run value for the program at `program_path`; whether the Run key ends
// as asked.
bool ApplyAutostart(Registry& registry, std::int64_t execute_at_startup,
                    const std::string& program_path);

// What an installation does to the settings file: switches ExecuteAtStartup as `asked` (the
// installer's property, when given), or on when the file has no such key, and otherwise keeps
// the site's own choice. Returns the value the file holds afterwards.
std::int64_t InstallAutostart(Profile& settings, std::optional<bool> asked);

}  // namespace kelvane
