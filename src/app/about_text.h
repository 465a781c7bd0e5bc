#pragma once
// The About window's text: its shipped default and the line-break marker of `strAbout`.
#include <string>

namespace kelvane {

// "∞" as a technician's editor saves it (UTF-8). The settings file is read in the ANSI code
// page, which has no such character, so the byte sequence itself is the marker.
inline constexpr const char* kAboutLineBreak = "\xE2\x88\x9E";

// Four lines joined by the marker, as `strAbout` would hold them.
std::string DefaultAboutText();

// Every marker becomes CR LF.
std::string AboutLineBreaks(const std::string& text);

}  // namespace kelvane
