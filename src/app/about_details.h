#pragma once
// The About window's second block: what a technician checks when setting up a terminal,
// as lines of text that can also go into a ticket.
#include <string>
#include <vector>

#include "state/form1.h"

namespace kelvane {

// What the port driver knows of its own library. The Windows driver implements it beside
// PortDriver; a driver without a library (the simulated board) does not.
class DriverLibraryFacts {
  public:
    virtual ~DriverLibraryFacts() = default;
    virtual std::string LibraryPath() const = 0;  // full path
    virtual bool LibraryLoaded() const = 0;
};

// Chip id and revision, register layout, index port, driver library and settings file.
// Further lines (for example a failing fleet export) go into `more`, after these.
std::vector<std::string> AboutDetails(const Form1& f, const std::vector<std::string>& more = {});

// Both blocks as a technician pastes them: the about text, a blank line, the details.
std::string AboutClipboardText(const std::string& about_text,
                               const std::vector<std::string>& details);

}  // namespace kelvane
