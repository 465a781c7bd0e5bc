#pragma once
// The maintenance notice: each finished minute from the history goes into the baseline while
// it is learned, and into the comparing window; once a minute the window is compared with the
// baseline. Never an alarm: it writes only the form's maintenance state, which the tray,
// About, the metrics file and the Event Log show.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "history/csv.h"
#include "maintenance/baseline.h"
#include "maintenance/compare.h"
#include "state/form1.h"

namespace kelvane::maintenance {

// In the data folder. Deleting the baseline file starts the learning over.
inline constexpr const char* kBaselineFile = "maintenance-baseline.ini";
inline constexpr const char* kLearningFile = "maintenance-learning.ini";
// Learning progress is kept this often, and when the program ends.
inline constexpr int kProgressEveryMinutes = 60;

class MaintenanceNotice final : public TickListener {
  public:
    // `data_folder`: the history's data folder, or null while it is not known yet; asked
    // every tick, so it hands out the folder rather than a copy.
    MaintenanceNotice(FileSystem& files, FileReplacer& replacer, Clock& clock,
                      std::function<const std::string*()> data_folder);

    // Each minute row the history finishes.
    void TakeMinute(const history::MinuteRow& row);

    // The settings in, and what the last minute found out into the form.
    void BeforeTell(Form1& f) override;
    void AfterTick(const Form1&) override {}
    void BeforeUnload(const Form1&) override;
    void AddDetails(const Form1& f, std::vector<std::string>& lines) const override;

    const std::optional<Baseline>& baseline() const { return baseline_; }
    const Learner& learner() const { return learner_; }

  private:
    std::string Path(const char* name) const { return folder_ + "\\" + name; }
    void Configure(const Settings& s);
    void Load(const std::string& folder);
    void StartOver();
    bool BaselineGone();
    void Learn(const history::MinuteRow& row);
    void WriteBaseline();
    void SaveProgress();

    FileSystem& files_;
    FileReplacer& replacer_;
    Clock& clock_;
    std::function<const std::string*()> data_folder_;
    std::string folder_;  // where the baseline was looked for; empty before
    bool enabled_ = true;
    int period_ = 10080;
    Thresholds thresholds_;
    Window window_{1440};
    Learner learner_;
    int unsaved_rows_ = 0;
    std::optional<Baseline> baseline_;
    bool on_disk_ = false;  // the baseline is in its file
    MaintenanceState state_;
    bool changed_ = true;
};

}  // namespace kelvane::maintenance
