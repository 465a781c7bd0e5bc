#pragma once
// The fleet's textfile: after every tick the whole metrics file is written anew to the path
// in "Export" TextFile, atomically, by a thread of its own. A path that cannot be written is
// only counted; the next tick tries again.
#include <chrono>
#include <string>

#include "base/shared_counter.h"
#include "export/export_services.h"
#include "export/metrics_text.h"
#include "export/textfile_writer.h"
#include "failsafe/fan_watch.h"
#include "state/form1.h"

namespace kelvane {

class TextFileExport : public TickListener, public FanWatchEvents {
  public:
    // `files` must outlive the process's last write: a write that hangs at the end is left
    // to finish on its own.
    TextFileExport(FileReplacer& files, WallClock& clock) : writer_(files), clock_(clock) {}

    void AfterTick(const Form1& f) override;
    // The owner's count of the views it dropped, for the file's counter; none in a view.
    void CountDroppedViews(const SharedCounter& dropped) { dropped_ = &dropped; }
    // Who drives the chip, for kelvane_info: "service" or "window".
    void OwnedBy(std::string owner) { file_.OwnedBy(std::move(owner)); }
    void AddDetails(const Form1& f, std::vector<std::string>& lines) const override;

    void SettingsRestored(const Form1&, RestoreReason) override { ++restored_; }
    void SettingsNotKept(const Form1&) override {}
    void HandedBack(const Form1&, HandBackOutcome) override {}

    // For the technician's details: how many writes failed since start, and the path of the
    // last failure (empty while none failed).
    WriteFailures failures() const { return writer_.failures(); }
    // For tests: true once the texts handed over are written (or dropped for newer ones).
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        return writer_.WaitIdle(limit);
    }

  private:
    TextFileWriter writer_;
    WallClock& clock_;
    MetricsFile file_;
    long restored_ = 0;
    const SharedCounter* dropped_ = nullptr;
};

}  // namespace kelvane
