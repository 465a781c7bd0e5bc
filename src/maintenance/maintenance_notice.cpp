#include "maintenance/maintenance_notice.h"

#include <utility>

#include "base/runtime_error.h"
#include "base/sealed_text.h"
#include "history/civil_time.h"

namespace kelvane::maintenance {
namespace {

// What the learning file holds once the baseline is complete: a baseline file missing then
// was deleted, by a technician starting over.
const std::string& LearnedText() {
    static const std::string text = SealText("[Maintenance learning]\r\nComplete=1\r\n");
    return text;
}

}  // namespace

MaintenanceNotice::MaintenanceNotice(FileSystem& files, FileReplacer& replacer, Clock& clock,
                                     std::function<const std::string*()> data_folder)
    : files_(files), replacer_(replacer), clock_(clock), data_folder_(std::move(data_folder)) {}

void MaintenanceNotice::Configure(const Settings& s) {
    const bool enabled = IsTrue(s.g_MaintenanceEnabled);
    if (enabled != enabled_) {
        enabled_ = enabled;
        folder_.clear();  // looked for again when switched back on
        const std::uint32_t started_over = state_.started_over;
        state_ = MaintenanceState();
        state_.started_over = started_over;
        changed_ = true;
    }
    period_ = s.g_BaselineMinutes;
    thresholds_ = {s.g_FanDropPercent, s.g_RiseDegrees};
    if (s.g_WindowMinutes != window_.minutes()) window_ = Window(s.g_WindowMinutes);
}

void MaintenanceNotice::BeforeTell(Form1& f) {
    Configure(f.settings);
    if (enabled_) {
        const std::string* folder = data_folder_();
        if (folder && !folder->empty() && *folder != folder_) Load(*folder);
    }
    if (!changed_) return;
    changed_ = false;
    f.maintenance = state_;
}

void MaintenanceNotice::Load(const std::string& folder) {
    folder_ = folder;
    learner_ = Learner();
    unsaved_rows_ = 0;
    baseline_.reset();
    on_disk_ = false;
    const std::uint32_t started_over = state_.started_over;
    state_ = MaintenanceState();
    state_.started_over = started_over;
    changed_ = true;
    std::optional<std::string> text;
    try {
        text = files_.ReadIfPresent(Path(kBaselineFile));
    } catch (const RuntimeError&) {
        state_.baseline_unreadable = Path(kBaselineFile);
        return;
    }
    if (text) {
        // A torn baseline is never replaced by learning again on its own: on a clogged
        // terminal the clog would become the new normal.
        baseline_ = ParseBaseline(*text);
        if (!baseline_) state_.baseline_unreadable = Path(kBaselineFile);
        on_disk_ = state_.baseline_ready = baseline_.has_value();
        return;
    }
    const std::optional<std::string> progress = files_.ReadFile(Path(kLearningFile));
    if (progress && *progress == LearnedText())
        StartOver();
    else if (progress && !learner_.ReadProgress(*progress))
        learner_ = Learner();
}

void MaintenanceNotice::StartOver() {
    learner_ = Learner();
    unsaved_rows_ = 0;
    baseline_.reset();
    on_disk_ = false;
    const std::uint32_t started_over = state_.started_over + 1;
    state_ = MaintenanceState();
    state_.started_over = started_over;
    changed_ = true;
    SaveProgress();
}

void MaintenanceNotice::TakeMinute(const history::MinuteRow& row) {
    if (!enabled_ || folder_.empty()) return;
    window_.Take(row);
    // Deleting the baseline file is how a technician starts over, torn or not. A folder that
    // cannot be read for a while (a share gone) deletes nothing.
    if ((on_disk_ || !state_.baseline_unreadable.empty()) && BaselineGone()) StartOver();
    if (!state_.baseline_unreadable.empty()) return;
    if (!baseline_)
        Learn(row);
    else if (!on_disk_)
        WriteBaseline();
    if (!baseline_) return;
    Compare(*baseline_, window_, thresholds_, state_);
    changed_ = true;
}

bool MaintenanceNotice::BaselineGone() {
    try {
        return !files_.ReadIfPresent(Path(kBaselineFile));
    } catch (const RuntimeError&) {
        return false;
    }
}

void MaintenanceNotice::Learn(const history::MinuteRow& row) {
    learner_.Take(row);
    if (!learner_.started()) return;
    if (learner_.rows() < period_) {
        if (++unsaved_rows_ >= kProgressEveryMinutes) SaveProgress();
        return;
    }
    Baseline b = BaselineOf(learner_.summaries(), learner_.rows());
    b.learned = clock_.UnixSeconds();
    b.learned_date = history::IsoText(b.learned, clock_.UtcOffsetMinutes(b.learned)).substr(0, 10);
    baseline_ = std::move(b);
    state_.baseline_ready = true;
    changed_ = true;
    WriteBaseline();
}

void MaintenanceNotice::WriteBaseline() {
    files_.MakeFolder(folder_);
    // Once, whole: a reader sees no baseline or all of it. A failed write is tried again
    // with the next minute.
    on_disk_ = replacer_.Replace(Path(kBaselineFile), BaselineText(*baseline_));
    if (on_disk_) replacer_.Replace(Path(kLearningFile), LearnedText());
}

void MaintenanceNotice::SaveProgress() {
    unsaved_rows_ = 0;
    files_.MakeFolder(folder_);
    replacer_.Replace(Path(kLearningFile), learner_.ProgressText());
}

void MaintenanceNotice::BeforeUnload(const Form1&) {
    if (enabled_ && !folder_.empty() && !baseline_ && state_.baseline_unreadable.empty() &&
        unsaved_rows_ > 0)
        SaveProgress();
}

void MaintenanceNotice::AddDetails(const Form1&, std::vector<std::string>& lines) const {
    if (!enabled_) {
        lines.push_back("Maintenance notice: off");
        return;
    }
    for (std::size_t r = 0; r < state_.notice.size(); ++r)
        if (state_.notice[r]) lines.push_back("Maintenance: " + state_.text[r]);
    if (folder_.empty() || !state_.baseline_unreadable.empty()) return;
    if (baseline_)
        lines.push_back("Maintenance baseline: learned " + baseline_->learned_date + " from " +
                        std::to_string(baseline_->minutes) + " minutes (delete " +
                        Path(kBaselineFile) + " to learn again)");
    else
        lines.push_back("Maintenance baseline: learning, " + std::to_string(learner_.rows()) +
                        " of " + std::to_string(period_) + " minutes");
}

}  // namespace kelvane::maintenance
