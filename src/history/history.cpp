#include "history/history.h"

#include <algorithm>

#include "base/runtime_error.h"
#include "history/civil_time.h"
#include "history/csv.h"
#include "state/channels.h"

namespace kelvane::history {

Sample SampleOf(const Form1& f, std::int64_t now) {
    const MonitorState& m = f.monitor;
    Sample s;
    s.time = now;
    for (std::size_t n = 0; n < 3; ++n) {
        s.temp[n] = static_cast<std::int16_t>(std::clamp(m.temps[n], -32768, 32767));
        s.fan[n] = m.fan_speeds[n];
    }
    for (std::size_t n = 0; n < 2; ++n)
        s.limit[n] = static_cast<std::uint8_t>(std::clamp(m.temp_limits[n], 0, 255));
    for (int v = 0; v < kInputs; ++v) {
        const auto i = static_cast<std::size_t>(v);
        s.volt[i] = m.volt_raw[i];
        if (f.window.TempLabel[v].visible) s.volt_shown |= static_cast<std::uint16_t>(1u << v);
    }
    s.status = static_cast<std::uint8_t>(std::clamp(m.g_ErrorCode, 0, 255));
    s.flags = static_cast<std::uint8_t>((m.alarm_lasting ? Sample::kLasting : 0) |
                                        (m.g_Critical == 1 ? Sample::kCritical : 0) |
                                        (m.hardware_unreachable ? 0 : Sample::kReachable) |
                                        (HasReading(f) ? 0 : Sample::kNoReading));
    if (HasReading(f)) s.step = m.fan_steps;
    return s;
}

History::History(FileSystem& files, Clock& clock, VoltsOf volts, std::string default_folder,
                 std::size_t ring_capacity)
    : files_(files),
      clock_(clock),
      volts_(std::move(volts)),
      default_folder_(std::move(default_folder)),
      folder_{default_folder_},
      incidents_folder_(folder_.incidents()),
      ring_(ring_capacity),
      incident_(ring_, [this](const std::string& path, const std::string& text) {
          return Append(path, text);
      }) {}

void History::BeforeTell(Form1& f) {
    if (!unwritable_)
        f.unwritable_data_folder.clear();
    else if (f.unwritable_data_folder != folder_.root)
        f.unwritable_data_folder = folder_.root;
}

void History::AfterTick(const Form1& f) {
    Configure(f.settings.g_HistoryFolder, f.settings.g_HistoryDays);
    TakeNames(f);
    Record(SampleOf(f, clock_.UnixSeconds()));
}

void History::TakeNames(const Form1& f) {
    // Compared every tick, copied only when a caption changed.
    const auto take = [](std::string& kept, const std::string& now) {
        if (kept != now) kept = now;
    };
    for (int n = 0; n < kChannels; ++n)
        take(names_.channels[static_cast<std::size_t>(n)], ChannelName(f, n));
    for (std::size_t v = 0; v < kInputs; ++v)
        take(names_.inputs[v], f.window.KelvaneLabel[3 + v].caption);
}

void History::BeforeUnload(const Form1&) { Close(); }

void History::Configure(const std::string& folder, int days) {
    // Called every tick: only a changed setting costs more than a comparison.
    if (configured_ && folder == configured_folder_ && days == configured_days_) return;
    configured_ = true;
    configured_folder_ = folder;
    configured_days_ = days;
    std::string root = folder.empty() ? default_folder_ : folder;
    while (root.size() > 3 && (root.back() == '\\' || root.back() == '/')) root.pop_back();
    days_ = days > 0 ? days : kDefaultDays;
    if (root == folder_.root) return;
    folder_.root = root;
    incidents_folder_ = folder_.incidents();
    folders_made_ = false;
    header_written_.clear();
    // Rows that waited for the old folder belong to it.
    waiting_.clear();
    waiting_bytes_ = 0;
    tidied_day_ = -1;
    told_ = false;
}

bool History::EnsureFolders() {
    if (!folders_made_)
        folders_made_ = files_.MakeFolder(folder_.days()) && files_.MakeFolder(folder_.incidents());
    return folders_made_;
}

bool History::Append(const std::string& path, const std::string& text) {
    bool ok = EnsureFolders();
    if (ok) {
        try {
            files_.AppendFile(path, text);
            bytes_ += text.size();
        } catch (const RuntimeError&) {
            ok = false;
        }
    }
    unwritable_ = !ok;
    if (!ok && !told_) {
        told_ = true;
        if (tell_) tell_(folder_.root);
    }
    return ok;
}

void History::Tidy(std::int64_t today) {
    // Once a day and after a growth spurt, never per tick, even while the folder fails.
    tidied_day_ = today;
    if (!EnsureFolders()) return;
    std::vector<std::string> keep = {folder_.DayFile(today)};
    if (incident_.active()) keep.push_back(incident_.path());
    bytes_ = TidyDataFolder(files_, folder_, today, days_, keep);
    // What is kept may alone be over the cap; look again after another megabyte.
    tidy_above_ = std::max(kFolderCap, bytes_ + (1u << 20));
}

void History::WriteMinute() {
    const MinuteRow row = minute_.Take(minute_start_, minute_offset_, volts_);
    if (take_minute_) take_minute_(row);
    const std::string path = folder_.DayFile(LocalDay(row.time, row.offset_minutes));
    std::string text = MinuteRowText(row);
    waiting_bytes_ += text.size();
    if (!waiting_.empty() && waiting_.back().first == path)
        waiting_.back().second += text;
    else
        waiting_.emplace_back(path, std::move(text));
    while (waiting_bytes_ > kWaitingCap && waiting_.size() > 1) {
        waiting_bytes_ -= waiting_.front().second.size();
        waiting_.erase(waiting_.begin());
    }
    WriteWaitingRows();
}

void History::WriteWaitingRows() {
    while (!waiting_.empty()) {
        const auto& [path, rows] = waiting_.front();
        std::string text;
        // A file that is there already has its header; one that is not gets it with the rows.
        if (header_written_ != path && !files_.CanOpen(path)) text = MinuteHeader();
        text += rows;
        if (!Append(path, text)) return;
        header_written_ = path;
        waiting_bytes_ -= rows.size();
        waiting_.erase(waiting_.begin());
    }
}

void History::Record(const Sample& s) {
    ring_.Push(s);
    // Offsets change on whole minutes at most: asking the clock once a minute is enough.
    const std::int64_t minute = FloorDiv(s.time, 60) * 60;
    if (minute != offset_minute_) {
        offset_minute_ = minute;
        offset_ = clock_.UtcOffsetMinutes(s.time);
        today_ = LocalDay(s.time, offset_);
    }
    if (today_ != tidied_day_ || bytes_ > tidy_above_) Tidy(today_);

    if (minute != minute_start_ && !minute_.empty()) WriteMinute();
    if (minute_.empty()) {
        minute_start_ = minute;
        minute_offset_ = offset_;
    }
    minute_.Add(s);

    if (incident_.Record(s, incidents_folder_, offset_, volts_, names_)) Tidy(today_);
}

void History::Close() {
    if (!minute_.empty()) WriteMinute();
    const std::int64_t last = ring_.size() ? ring_.newest().time : 0;
    incident_.Close(clock_.UtcOffsetMinutes(last), volts_);
}

void History::AddDetails(const Form1&, std::vector<std::string>& lines) const {
    lines.push_back("History folder: " + folder_.root +
                    (unwritable_ ? " (cannot be written)" : ""));
    if (!incident_.path().empty())
        lines.push_back(
            std::string(incident_.active() ? "Incident file: " : "Last incident file: ") +
            incident_.path());
}

}  // namespace kelvane::history
