#pragma once
// The About window's second block: what a technician checks when setting up a terminal,
// as lines of text that can also go into a ticket.
#include <string>
#include <vector>

#include "state/form1.h"

namespace kelvane {

// The About window's last line: who drives the chip. A window program that shows About
// without being a view drives it itself.
inline constexpr const char* kDrivenBy = "Chip driven by: ";
inline constexpr const char* kThisWindowProgram = "this window program";

// Chip id and revision, register layout, index port, driver library and settings file.
// Further lines (for example a failing fleet export) go into `more`, after these.
std::vector<std::string> AboutDetails(const Form1& f, const std::vector<std::string>& more = {});

// Both blocks as a technician pastes them: the about text, a blank line, the details.
std::string AboutClipboardText(const std::string& about_text,
                               const std::vector<std::string>& details);

}  // namespace kelvane
