#include "app/about_details.h"

#include <cstdio>

#include "base/int16.h"
#include "setup/setup_problem.h"
#include "state/chip_views.h"

namespace kelvane {
namespace {

std::string Hex(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string ChipLine(const StartupFindings& found) {
    if (found.chip_id < 0) return "Chip: not identified";
    std::string line = "Chip: id " + Hex(found.chip_id, 2);
    line += found.chip_revision < 0 ? ", revision not read"
                                    : ", revision " + std::to_string(found.chip_revision);
    return line;
}

std::string LayoutLine(const Form1& f) {
    if (!f.findings.chip_identified) return "Register layout: unknown (chip not identified)";
    if (!IsTrue(f.KelvaneFanFlag)) return "Register layout: older";
    if (!IsTrue(f.KelvaneFanSpecialFlag)) return "Register layout: newer";
    return "Register layout: newer with delta field";
}

std::string DriverLine(const Form1& f) {
    const DriverLibraryFacts* facts = LibraryFactsOf(f.sys.driver);
    if (!facts) return "Driver library: simulated";
    const char* state = !facts->LibraryLoaded()     ? " (not loaded)"
                        : facts->LibrarySimulated() ? " (simulated board, not for a terminal)"
                                                    : " (loaded)";
    return "Driver library: " + facts->LibraryPath() + state;
}

std::string SettingsLine(const Form1& f) {
    const StartupFindings& found = f.findings;
    const std::string line = "Settings file: " + f.ProgramFile("kelvane.ini");
    if (found.settings_read_to_end) return line + " (read to the end)";
    if (found.settings_unreadable) return line + " (not read: it cannot be read)";
    if (!found.stopped_key.empty())
        return line + " (stopped at [" + found.stopped_section + "] " + found.stopped_key + ")";
    if (found.stopped_section == "kelvane.dat")
        return line + " (not read: the port program kelvane.dat failed)";
    return line + " (not read)";
}

}  // namespace

std::vector<std::string> AboutDetails(const Form1& f, const std::vector<std::string>& more) {
    std::vector<std::string> lines = {
        ChipLine(f.findings),
        LayoutLine(f),
        "Index port: " + Hex(static_cast<std::uint16_t>(f.settings.g_Address), 3),
        DriverLine(f),
        SettingsLine(f),
    };
    for (const std::string& line : f.policy.Lines()) lines.push_back("Set by policy: " + line);
    for (const SetupReason reason : SetupProblems(f))
        lines.push_back("Set-up problem: " + SetupFullText(f, reason));
    for (std::size_t n = 0; n < 3; ++n)
        if (FanKeepsChipSettings(f, n))
            lines.push_back("fan " + std::to_string(n) +
                            ": the chip's own settings (kelvane.ini does not set them)");
    for (const TickListener* listener : f.tick_listeners) listener->AddDetails(f, lines);
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

std::string AboutClipboardText(const std::string& about_text,
                               const std::vector<std::string>& details) {
    std::string text = about_text + "\r\n\r\n";
    for (const std::string& line : details) text += line + "\r\n";
    return text;
}

}  // namespace kelvane
