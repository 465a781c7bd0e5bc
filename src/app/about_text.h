#pragma once
// The About window's text: its shipped default and the line-break marker of `strAbout`.
#include <string>

namespace kelvane {

// "∞" as a technician's editor saves it (UTF-8). The settings file is read in the ANSI code
// page, which usually has no such character, so the byte sequence itself is the marker; the
// profile turns every other form of "∞" into it.
inline constexpr const char* kAboutLineBreak = "\xE2\x88\x9E";

// Replaces the ANSI code page's own "∞" (its bytes; empty when the code page has none) by the
// marker, walking whole characters: lead(b) says whether b starts a double-byte character,
// so the trail byte of one is never taken for the start of the next.
std::string CodePageInfinityToMarker(const std::string& text, const std::string& infinity,
                                     bool (*lead)(unsigned char));

// Four lines joined by the marker, as `strAbout` would hold them.
std::string DefaultAboutText();

// Every marker becomes CR LF.
std::string AboutLineBreaks(const std::string& text);

}  // namespace kelvane
