#include "export/textfile_export.h"

namespace kelvane {

void TextFileExport::AfterTick(const Form1& f) {
    const std::string& path = f.settings.g_ExportTextFile;
    if (path.empty()) return;
    failures_.last_failed = !files_.Replace(path, file_.Text(f, clock_.UnixSeconds(), restored_));
    if (!failures_.last_failed) return;
    ++failures_.count;
    failures_.path = path;
}

void TextFileExport::AddDetails(const Form1& f, std::vector<std::string>& lines) const {
    const std::string& path = f.settings.g_ExportTextFile;
    if (path.empty()) return;
    std::string line = "Metrics file: " + path;
    if (failures_.last_failed)
        line += " (cannot be written; " + std::to_string(failures_.count) + " writes failed)";
    else if (failures_.count > 0)
        line += " (written; " + std::to_string(failures_.count) + " writes failed earlier)";
    else
        line += " (written)";
    lines.push_back(line);
}

}  // namespace kelvane
