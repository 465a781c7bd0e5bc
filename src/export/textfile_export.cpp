#include "export/textfile_export.h"

namespace kelvane {

void TextFileExport::AfterTick(const Form1& f) {
    const std::string& path = f.settings.g_ExportTextFile;
    if (path.empty()) return;
    const MetricsCounts counts{restored_, dropped_ ? dropped_->value() : 0};
    writer_.HandOver(path, file_.Build(f, clock_.UnixSeconds(), writer_.Buffer(), counts));
}

void TextFileExport::AddDetails(const Form1& f, std::vector<std::string>& lines) const {
    const std::string& path = f.settings.g_ExportTextFile;
    if (path.empty()) return;
    const WriteFailures failures = writer_.failures();
    std::string line = "Metrics file: " + path;
    if (failures.last_failed)
        line += " (cannot be written; " + std::to_string(failures.count) + " writes failed)";
    else if (failures.count > 0)
        line += " (written; " + std::to_string(failures.count) + " writes failed earlier)";
    else
        line += " (written)";
    lines.push_back(line);
}

}  // namespace kelvane
