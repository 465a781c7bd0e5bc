#pragma once
// The machine's history, told after every tick: the last day at one second in memory, a file
// a day of once-a-minute rows, and an incident file per fault episode. It hangs on the tick
// listeners, so the monitor cycle knows nothing of it; a folder that cannot be written is
// told once and the ring goes on.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"
#include "history/data_folder.h"
#include "history/incident.h"
#include "history/minute.h"
#include "history/ring.h"
#include "history/sample.h"
#include "state/form1.h"

namespace kelvane::history {

// The tick the monitor cycle just finished, as the history keeps it.
Sample SampleOf(const Form1& f, std::int64_t now);

// About four days of minute rows: what a day file may wait for a folder that cannot be written.
inline constexpr std::size_t kWaitingCap = 1u << 20;

class History : public TickListener {
  public:
    // `default_folder`: the data folder when "History" Folder is empty (the machine's
    // program-data folder on Windows).
    History(FileSystem& files, Clock& clock, VoltsOf volts, std::string default_folder,
            std::size_t ring_capacity = kRingSamples);

    // Tells the form, for the set-up problems, whether the latest write failed.
    void BeforeTell(Form1& f) override;
    void AfterTick(const Form1& f) override;
    void BeforeUnload(const Form1& f) override;
    void AddDetails(const Form1& f, std::vector<std::string>& lines) const override;

    // The core of AfterTick: the folder and the days to keep, then one sample.
    void Configure(const std::string& folder, int days);
    void Record(const Sample& s);
    void TakeNames(const Form1& f);
    void Close();

    // Told once, the first time the data folder cannot be written.
    void TellUnwritableTo(std::function<void(const std::string& folder)> tell) {
        tell_ = std::move(tell);
    }

    // Told each minute row as it is finished, before it is written.
    void TellMinutesTo(std::function<void(const MinuteRow&)> take) {
        take_minute_ = std::move(take);
    }

    // Whether the settings have given the data folder yet.
    bool configured() const { return configured_; }
    const Ring& ring() const { return ring_; }
    const DataFolder& folder() const { return folder_; }
    // The file of the episode in progress; empty between episodes.
    std::string incident_path() const { return incident_.active() ? incident_.path() : ""; }
    bool unwritable() const { return unwritable_; }
    const VoltsOf& volts() const { return volts_; }
    // The headings and input captions of the latest tick, for the one-second files.
    const ColumnNames& names() const { return names_; }
    int OffsetAt(std::int64_t t) { return clock_.UtcOffsetMinutes(t); }
    std::int64_t Now() { return clock_.UnixSeconds(); }

  private:
    bool Append(const std::string& path, const std::string& text);
    bool EnsureFolders();
    void WriteMinute();
    void WriteWaitingRows();
    void Tidy(std::int64_t today);

    FileSystem& files_;
    Clock& clock_;
    VoltsOf volts_;
    std::string default_folder_;
    DataFolder folder_;
    std::string incidents_folder_;  // folder_.incidents(), kept so that a tick builds no path
    int days_ = kDefaultDays;
    bool configured_ = false;
    std::string configured_folder_;
    int configured_days_ = 0;
    std::int64_t offset_minute_ = -1;  // the minute offset_ and today_ were found for
    int offset_ = 0;
    std::int64_t today_ = 0;
    Ring ring_;
    MinuteAccumulator minute_;
    std::int64_t minute_start_ = 0;
    int minute_offset_ = 0;
    IncidentRecorder incident_;
    ColumnNames names_;
    bool folders_made_ = false;
    std::string header_written_;  // the day file known to have its header
    // Day-file rows a failed write left, per file in time order, written before the next
    // row; the oldest go when they pass kWaitingCap.
    std::vector<std::pair<std::string, std::string>> waiting_;
    std::size_t waiting_bytes_ = 0;
    std::int64_t tidied_day_ = -1;           // local day of the last tidying
    std::uint64_t bytes_ = 0;                // the folder's size as last counted, plus writes since
    std::uint64_t tidy_above_ = kFolderCap;  // counts again past this
    bool unwritable_ = false;                // the latest write failed
    bool told_ = false;
    std::function<void(const std::string&)> tell_;
    std::function<void(const MinuteRow&)> take_minute_;
};

}  // namespace kelvane::history
