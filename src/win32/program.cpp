#include "win32/program.h"

#include <chrono>

#include "base/failure_policy.h"
#include "monitor/readout.h"

namespace kelvane::win32 {
namespace {

// The replacer has no state and lives as long as the process: a write that hangs at the end
// is left to finish on its own.
AtomicFileReplacer& ExportFiles() {
    static AtomicFileReplacer replacer;
    return replacer;
}

long long SteadyMs() {
    using namespace std::chrono;
    return static_cast<long long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

Program::Program(const ProgramHost& host)
    : folder_(ProgramFolder()),
      driver_(folder_ + "\\brantelvio.dll"),
      profile_(folder_ + "\\kelvane.ini"),
      relay_(host.host, host.windows, host.sound != nullptr ? *host.sound : sound_),
      services_{driver_, profile_, files_, processes_,    clock_,      registry_,
                relay_,  relay_,   relay_, host.surfaces, tune_thread_},
      textfile_(ExportFiles(), wall_clock_),
      fleet_events_(event_log_),
      form_(services_, folder_, host.window_program),
      history_(
          files_, clock_,
          [this](int v, double raw) { return VoltsFromRaw(form_.settings, v, raw); },
          DefaultDataFolder()),
      maintenance_(files_, ExportFiles(), clock_,
                   [this] { return history_.configured() ? &history_.folder().root : nullptr; }),
      fan_watch_(form_, &SteadyMs),
      // Beside the history, whatever folder the settings give it: the values are noted before
      // the settings are read.
      power_on_(files_, ExportFiles(), boot_clock_, DefaultDataFolder() + "\\power-on.ini") {
    relay_.Watch(form_);
    textfile_.OwnedBy(host.owner);
    fan_watch_.KeepPowerOnValuesIn(power_on_);
    fan_watch_.Tell(fleet_events_);
    fan_watch_.Tell(textfile_);
    // First among the listeners: a restore is counted and told before the exports follow.
    form_.tick_listeners.push_back(&fan_watch_);
    form_.tick_listeners.push_back(&late_chip_steps_);
    // Before the tick reads the chip: a policy change is programmed first.
    form_.tick_listeners.push_back(&policy_inbox_);
    // Before the events, so that a fault's event can name the incident file just begun, and
    // before the status line, which words a folder that cannot be written.
    form_.tick_listeners.push_back(&history_);
    // After the history, so that the unload's last minute is learned before progress is kept.
    form_.tick_listeners.push_back(&maintenance_);
    history_.TellMinutesTo([this](const history::MinuteRow& row) { maintenance_.TakeMinute(row); });
    form_.tick_listeners.push_back(&setup_status_);
    form_.tick_listeners.push_back(&textfile_);
    form_.tick_listeners.push_back(&fleet_events_);
    fleet_events_.NameIncidentsWith([this] { return history_.incident_path(); });
    history_.TellUnwritableTo([this](const std::string& data_folder) {
        fleet_events_.HistoryUnwritable(form_, data_folder);
    });
}

LoadResult Program::Load(AppShell& shell) {
    form_.policy = policy::InForce(ReadPolicyRegistry());
    const LoadResult loaded = Form1_Form_Load(form_, shell, &fan_watch_);
    fleet_events_.AfterLoad(form_, loaded.keep_running, loaded.fatal_message);
    if (loaded.keep_running)
        policy_watch_.emplace(
            form_.policy, [this](policy::InForce next) { policy_inbox_.Offer(std::move(next)); });
    return loaded;
}

void Program::Publish(const std::string& owner) {
    requests_.emplace([this](const link::ViewRequest& r) {
        ContainErrors([&] {
            std::string answer = desk_.Answer(r);
            if (!answer.empty()) pipe_->Answer(r.client, std::move(answer));
        });
    });
    pipe_.emplace(publisher_.Start(form_, owner), views_dropped_,
                  [this](link::ViewRequest r) { return requests_->Put(std::move(r)); });
    relay_.TellViews([this](std::string_view frames) { pipe_->Publish(frames); });
    form_.tick_listeners.push_back(&relay_);
    // Last: the views see the tick as the window and the exports left it.
    form_.tick_listeners.push_back(&publisher_);
    textfile_.CountDroppedViews(views_dropped_.shared());
}

}  // namespace kelvane::win32
