#pragma once
// The fleet's textfile: after every tick the whole metrics file is written anew to the path
// in "Export" TextFile, atomically. A path that cannot be written is only counted; the next
// tick tries again.
#include <string>

#include "export/export_services.h"
#include "export/metrics_text.h"
#include "state/form1.h"

namespace kelvane {

class TextFileExport : public TickListener {
  public:
    TextFileExport(FileReplacer& files, WallClock& clock) : files_(files), clock_(clock) {}

    void AfterTick(const Form1& f) override;
    void AddDetails(const Form1& f, std::vector<std::string>& lines) const override;

    // For the technician's details: how many writes failed since start, and the path of the
    // last failure (empty while none failed).
    struct Failures {
        long count = 0;
        std::string path;
        bool last_failed = false;  // the latest write
    };
    const Failures& failures() const { return failures_; }

  private:
    FileReplacer& files_;
    WallClock& clock_;
    MetricsFile file_;
    Failures failures_;
};

}  // namespace kelvane
