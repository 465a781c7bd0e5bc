#include "export/textfile_export.h"

namespace kelvane {

void TextFileExport::AfterTick(const Form1& f) {
    const std::string& path = f.settings.g_ExportTextFile;
    if (path.empty()) return;
    if (files_.Replace(path, file_.Text(f, clock_.UnixSeconds()))) return;
    ++failures_.count;
    failures_.path = path;
}

}  // namespace kelvane
