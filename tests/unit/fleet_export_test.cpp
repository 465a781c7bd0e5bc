#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/about_details.h"
#include "app/startup.h"
#include "board/board.h"
#include "export/fleet_events.h"
#include "export/metrics_text.h"
#include "export/textfile_export.h"
#include "history/history.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// The healthy board of the monitor tests: 38 / 42 / 36 degrees, fans 5000 / 4500 / 3750 rpm,
// limits R64 = R6C = 70; on this newer layout the cycle's limits are R62 = R6A, set to 70 too.
constexpr int kCpuTemp = 0x2A;

struct FakeReplacer : FileReplacer {
    std::vector<std::string> paths, texts;
    bool works = true;
    bool Replace(const std::string& path, std::string_view data) override {
        paths.push_back(path);
        if (works) texts.emplace_back(data);
        return works;
    }
};

struct FixedClock : WallClock {
    double UnixSeconds() override { return 1765000000.25; }
};

struct FakeSink : EventSink {
    std::vector<FleetEvent> events;
    void Report(const FleetEvent& e) override { events.push_back(e); }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const FleetEvent& e : events) ids.push_back(e.id);
        return ids;
    }
};

struct Terminal {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;
    FakeReplacer files;
    FixedClock clock;
    FakeSink sink;
    TextFileExport textfile{files, clock};
    FleetEvents events{sink};

    Terminal() {
        for (int n = 0; n < 3; ++n) {
            f.window.LedPic[n].tag = f.window.FanLed[n].tag = std::to_string(n);
            f.settings.g_FanCtrl[n].Mode = 1;
            f.settings.g_FanCtrl[n].TmpAlarm = 127;
        }
        f.findings.chip_id = 0x12;
        f.findings.chip_revision = 8;
        f.findings.chip_identified = true;
        f.findings.monitor_base = 0x290;
        f.findings.settings_read_to_end = true;
        f.KelvaneFanFlag = kTrue;
        board.set_reg(0x62, 70);
        board.set_reg(0x6A, 70);
        InitFanDivisors(f);
        f.tick_listeners = {&textfile, &events};
    }
    // Each tick's file is written before the next tick, as with a fast disk.
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            Form1_Timer1_Timer(f);
            EXPECT_TRUE(textfile.WaitIdle());
        }
    }
    MetricsFile metrics;  // apart from the export's own, so each text is laid out afresh
    std::string Text() { return std::string(MetricsFile().Text(f, clock.UnixSeconds())); }
    std::string Cached() { return std::string(metrics.Text(f, clock.UnixSeconds())); }
};

bool Has(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(FleetExport, MetricsFileShowsTheTicksReadingsStatusAndChip) {
    Terminal t;
    t.f.window.KelvaneLabel[2].caption = "Pa\"nel\\2\xB0";  // quote, backslash, ANSI degree
    t.f.window.TempLabel[4].visible = false;
    t.Tick();
    t.f.monitor.volt_checked[1] = true;
    t.f.monitor.volt_in_tolerance[1] = false;
    t.f.monitor.volt_checked[0] = false;
    t.f.monitor.volts[3] = -11.9996;
    t.f.monitor.volts[5] = -0.0004;
    const std::string text = t.Text();
    EXPECT_EQ(t.Cached(), text);
    EXPECT_EQ(text.rfind("# HELP kelvane_temperature_celsius ", 0), 0u);
    EXPECT_EQ(text.back(), '\n');
    for (const char c : text) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << int(c);
    EXPECT_TRUE(Has(text, "# TYPE kelvane_temperature_celsius gauge"));
    EXPECT_TRUE(Has(text, "kelvane_temperature_celsius{channel=\"0\",name=\"System\"} 38"));
    EXPECT_TRUE(Has(text, "kelvane_temperature_celsius{channel=\"1\",name=\"CPU\"} 42"));
    EXPECT_TRUE(
        Has(text, "kelvane_temperature_celsius{channel=\"2\",name=\"Pa\\\"nel\\\\2?\"} 36"));
    EXPECT_TRUE(Has(text, "kelvane_fan_speed_rpm{channel=\"0\",name=\"System\"} 5000"));
    EXPECT_TRUE(Has(text, "kelvane_fan_speed_rpm{channel=\"2\",name=\"Pa\\\"nel\\\\2?\"} 3750"));
    EXPECT_TRUE(Has(text, "kelvane_temperature_limit_celsius{channel=\"1\",name=\"CPU\"} 70"));
    EXPECT_EQ(text.find("kelvane_temperature_limit_celsius{channel=\"2\""), std::string::npos);
    EXPECT_TRUE(Has(text, "kelvane_voltage_volts{input=\"3\",name=\"VIN3\"} -12.000"));
    EXPECT_TRUE(Has(text, "kelvane_voltage_volts{input=\"5\",name=\"VIN5\"} 0.000"));
    EXPECT_EQ(text.find("kelvane_voltage_volts{input=\"4\""), std::string::npos);
    EXPECT_TRUE(Has(text, "kelvane_voltage_in_tolerance{input=\"1\",name=\"VIN1\"} 0"));
    EXPECT_EQ(text.find("kelvane_voltage_in_tolerance{input=\"0\""), std::string::npos);
    EXPECT_TRUE(Has(text, "kelvane_status_code 0"));
    EXPECT_TRUE(Has(text, "kelvane_alarm_lasting 0"));
    EXPECT_TRUE(Has(text, "kelvane_hardware_reachable 1"));
    EXPECT_TRUE(Has(text, "kelvane_last_tick_timestamp_seconds 1765000000"));
    EXPECT_TRUE(Has(text, "# TYPE kelvane_fan_settings_restored_total counter"));
    EXPECT_TRUE(Has(text, "kelvane_fan_settings_restored_total 0"));
    const std::string counted(MetricsFile().Text(t.f, 0, {3, 7}));
    EXPECT_TRUE(Has(counted, "kelvane_fan_settings_restored_total 3"));
    EXPECT_TRUE(Has(text, "# TYPE kelvane_view_clients_dropped_total counter"));
    EXPECT_TRUE(Has(text, "kelvane_view_clients_dropped_total 0"));
    EXPECT_TRUE(Has(counted, "kelvane_view_clients_dropped_total 7"));
    EXPECT_TRUE(Has(text, "kelvane_policy_values 0"));
    EXPECT_TRUE(Has(text,
                    "kelvane_info{version=\"5.07\",chip_id=\"0x12\",revision=\"8\","
                    "layout=\"newer\",driver=\"simulated\",owner=\"window\"} 1"));
    MetricsFile by_service;
    by_service.Text(t.f, 0);
    by_service.OwnedBy("service");  // after a first layout: the label must follow
    EXPECT_NE(std::string(by_service.Text(t.f, 0)).find(",owner=\"service\"} 1\n"),
              std::string::npos);
    for (const char* reason :
         {"settings_unreadable", "settings_stopped", "port_program_failed", "chip_not_identified",
          "monitor_not_at_address", "fan_settings_partial", "history_unwritable",
          "policy_value_rejected", "maintenance_baseline_unreadable"})
        EXPECT_TRUE(Has(text, std::string("kelvane_setup_problem{reason=\"") + reason + "\"} 0"))
            << reason;
    // Maintenance: no ratio before a baseline; a notice is its own series, never a status.
    EXPECT_TRUE(Has(text, "kelvane_baseline_ready 0"));
    EXPECT_TRUE(Has(text, "kelvane_cpu_rise_excess_celsius NaN"));
    EXPECT_EQ(text.find("kelvane_fan_speed_ratio{"), std::string::npos);
    t.f.maintenance.baseline_ready = true;
    t.f.maintenance.fan_ratio[1] = 0.6909;
    t.f.maintenance.rise_excess = 1.25;
    t.f.maintenance.notice[1] = true;
    const std::string worn = t.Text();
    EXPECT_EQ(t.Cached(), worn);
    EXPECT_TRUE(Has(worn, "kelvane_baseline_ready 1"));
    EXPECT_TRUE(Has(worn, "kelvane_fan_speed_ratio{channel=\"0\",name=\"System\"} NaN"));
    EXPECT_TRUE(Has(worn, "kelvane_fan_speed_ratio{channel=\"1\",name=\"CPU\"} 0.691"));
    EXPECT_TRUE(Has(worn, "kelvane_cpu_rise_excess_celsius 1.250"));
    EXPECT_TRUE(Has(worn, "kelvane_maintenance{reason=\"system_fan_slower\"} 0"));
    EXPECT_TRUE(Has(worn, "kelvane_maintenance{reason=\"cpu_fan_slower\"} 1"));
    EXPECT_TRUE(Has(worn, "kelvane_maintenance{reason=\"cooling_clogged\"} 0"));
    EXPECT_TRUE(Has(worn, "kelvane_status_code 0"));
    t.f.maintenance = MaintenanceState();
    EXPECT_EQ(EscapeLabelValue("a\nb"), "a\\nb");

    // A lasting CPU over-temperature: code, label state and the limit it passed.
    t.board.set_reg(kCpuTemp, 90);
    t.Tick(30);
    t.f.window.KelvaneLabel[1].caption = "Core";  // the laid-out text follows a new caption
    const std::string hot = t.Text();
    EXPECT_EQ(t.Cached(), hot);
    EXPECT_TRUE(Has(hot, "kelvane_temperature_celsius{channel=\"1\",name=\"Core\"} 90"));
    EXPECT_TRUE(Has(hot, "kelvane_status_code 1"));
    EXPECT_TRUE(Has(hot, "kelvane_alarm_lasting 1"));

    // A set-up problem is its own series, never a status: the chip not identified says
    // "unknown" for the layout.
    t.Tick(5);
    t.f.findings.chip_identified = false;
    const std::string setup = t.Text();
    EXPECT_EQ(t.Cached(), setup);
    EXPECT_TRUE(Has(setup, "kelvane_setup_problem{reason=\"chip_not_identified\"} 1"));
    EXPECT_TRUE(Has(setup, "kelvane_setup_problem{reason=\"settings_stopped\"} 0"));
    EXPECT_TRUE(Has(setup, "kelvane_status_code 1"));
    EXPECT_NE(setup.find("layout=\"unknown\""), std::string::npos);
    t.f.findings.chip_identified = true;

    // A monitor withheld at a wrong Address reads nothing: a set-up problem, not an outage.
    t.board.set_reg(kCpuTemp, 42);
    t.Tick(30);
    t.f.findings.monitor_base = 0x2A0;
    t.f.chip.WithholdMonitor(true);
    t.Tick();
    const std::string withheld = t.Text();
    EXPECT_EQ(t.Cached(), withheld);
    EXPECT_TRUE(Has(withheld, "kelvane_setup_problem{reason=\"monitor_not_at_address\"} 1"));
    EXPECT_TRUE(Has(withheld, "kelvane_status_code 0"));
    EXPECT_TRUE(Has(withheld, "kelvane_hardware_reachable 1"));
    for (const char* family : {"kelvane_temperature_celsius{", "kelvane_fan_speed_rpm{",
                               "kelvane_temperature_limit_celsius{", "kelvane_voltage_volts{"})
        EXPECT_EQ(withheld.find(family), std::string::npos) << family;
    t.f.chip.WithholdMonitor(false);
    t.f.findings.monitor_base = 0x290;

    // An unreachable chip: no stale readings, only the state.
    t.board.set_failing(true);
    t.Tick();
    const std::string lost = t.Text();
    EXPECT_EQ(t.Cached(), lost);
    EXPECT_TRUE(Has(lost, "kelvane_hardware_reachable 0"));
    EXPECT_EQ(lost.find("kelvane_temperature_celsius{"), std::string::npos);
    EXPECT_EQ(lost.find("kelvane_voltage_volts{"), std::string::npos);
    EXPECT_TRUE(Has(lost, "# TYPE kelvane_fan_speed_rpm gauge"));
}

TEST(FleetExport, TextFileIsWrittenEveryTickAndFailuresOnlyCounted) {
    Terminal t;
    t.Tick(2);
    EXPECT_TRUE(t.files.paths.empty());  // no path: off

    t.f.settings.g_ExportTextFile = "C:\\metrics\\kelvane.prom";
    t.Tick(2);
    ASSERT_EQ(t.files.texts.size(), 2u);
    EXPECT_EQ(t.files.texts[1], t.Text());
    EXPECT_EQ(t.textfile.failures().count, 0);

    t.files.works = false;
    t.Tick(3);
    EXPECT_EQ(t.files.paths.size(), 5u);  // tried again on every tick
    EXPECT_EQ(t.textfile.failures().count, 3);
    EXPECT_EQ(t.textfile.failures().path, "C:\\metrics\\kelvane.prom");
    EXPECT_EQ(t.f.g_Delay, 7);  // the monitor went on
    // The technician sees it in the About details, and sees it end.
    EXPECT_EQ(AboutDetails(t.f).back(),
              "Metrics file: C:\\metrics\\kelvane.prom (cannot be written; 3 writes failed)");
    t.files.works = true;
    t.Tick();
    EXPECT_EQ(AboutDetails(t.f).back(),
              "Metrics file: C:\\metrics\\kelvane.prom (written; 3 writes failed earlier)");
}

// A file system that holds every write until the test lets it go (or 5 s pass).
struct HeldReplacer : FileReplacer {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int waiting = 0;
    std::vector<std::string> texts;
    bool Replace(const std::string&, std::string_view data) override {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return open; });
        texts.emplace_back(data);
        return false;
    }
};

TEST(FleetExport, AHangingWriteHoldsUpNoTickAndOnlyTheNewestTextWaits) {
    Terminal t;
    HeldReplacer held;
    std::vector<std::string> handed;
    {
        TextFileExport textfile(held, t.clock);
        t.f.tick_listeners = {&textfile};
        t.f.settings.g_ExportTextFile = "\\\\share\\kelvane.prom";
        for (int i = 0; i < 4; ++i) {
            t.board.set_reg(kCpuTemp, 50 + i);
            Form1_Timer1_Timer(t.f);  // returns although the first write never does
            handed.push_back(t.Text());
            if (i == 0) {
                std::unique_lock lock(held.mutex);
                held.changed.wait(lock, [&] { return held.waiting == 1; });
            }
        }
        EXPECT_EQ(t.f.g_Delay, 4);
        {
            std::lock_guard lock(held.mutex);
            held.open = true;
        }
        held.changed.notify_all();
        ASSERT_TRUE(textfile.WaitIdle());
        // The second and third files were overtaken while the first hung.
        EXPECT_EQ(held.texts, (std::vector<std::string>{handed[0], handed[3]}));
        EXPECT_EQ(textfile.failures().count, 2);
        EXPECT_TRUE(textfile.failures().last_failed);
    }
    t.f.tick_listeners.clear();

    // An end soon after a hand-over finds the thread wherever it is, and waits for it: the
    // delays before the end sweep the thread's wake-up, its check for the end and its take.
    FakeReplacer quick;
    using Clock = std::chrono::steady_clock;
    // A lost end shows as one end that waits out the writer's two seconds; the ends are timed
    // one by one, as threads start slowly on a loaded machine.
    Clock::duration slowest{};
    for (int i = 0; i < 1000; ++i) {
        const auto begin = Clock::now();
        {
            TextFileWriter writer(quick);
            writer.Buffer() = "x";
            writer.HandOver("p", 1);
            const auto end = Clock::now() + std::chrono::nanoseconds(i % 1000 * 100);
            while (Clock::now() < end) {
            }
        }
        slowest = std::max(slowest, Clock::now() - begin);
    }
    EXPECT_LT(slowest, std::chrono::milliseconds(1500));
}

TEST(FleetEvents, EachTransitionIsReportedOnce) {
    Terminal t;
    testing::NullShell shell;
    // The history is told first, so the events can name the episode's file.
    history::History history(
        t.rig.files, t.rig.clock, [](int, double raw) { return raw; }, "C:\\ProgramData\\Kelvane");
    t.f.tick_listeners = {&t.textfile, &history, &t.events};
    t.events.NameIncidentsWith([&history] { return history.incident_path(); });
    t.events.AfterLoad(t.f, true);
    t.Tick(8);
    t.board.set_reg(kCpuTemp, 90);
    t.Tick(30);  // the label turns red on the 17th tick of the episode, then stays
    t.board.set_reg(kCpuTemp, 40);
    t.Tick(5);
    t.board.set_failing(true);
    t.Tick(4);
    t.board.set_failing(false);
    t.Tick(3);
    // A set-up problem: named once when it appears, 31 once none is left. The withheld
    // monitor's ticks read nothing, and that is no outage.
    t.f.findings.monitor_base = 0x291;
    t.f.chip.WithholdMonitor(true);
    t.Tick(3);
    t.f.chip.WithholdMonitor(false);
    t.f.findings.monitor_base = 0x290;
    t.Tick(2);
    Form1_Form_Unload(t.f, shell);
    Form1_Form_Unload(t.f, shell);
    using namespace event_id;
    EXPECT_EQ(t.sink.Ids(),
              (std::vector<int>{kStarted, kFaultBegins, kBackToNormal, kUnreachable, kReachedAgain,
                                kSetupProblem, kSetupProblemGone, kEnded}));
    const auto& e = t.sink.events;
    ASSERT_EQ(e.size(), 8u);
    EXPECT_EQ(e[0].strings,
              (std::vector<std::string>{"5.07", "id 18 revision 8", "newer", "simulated"}));
    EXPECT_EQ(e[5].kind, EventKind::Warning);
    ASSERT_EQ(e[5].strings.size(), 2u);
    EXPECT_EQ(e[5].strings[1], "monitor_not_at_address");
    EXPECT_EQ(e[5].strings[0].rfind("Hardware monitor not at 0x295 (the chip says 0x296).", 0), 0u)
        << e[5].strings[0];
    // Removing the key would give the default port, which is the wrong one here.
    EXPECT_NE(e[5].strings[0].find("Set Address=662 in [Option] of kelvane.ini, then"),
              std::string::npos)
        << e[5].strings[0];
    EXPECT_EQ(e[6].kind, EventKind::Information);
    EXPECT_EQ(e[1].kind, EventKind::Warning);
    const std::string incident =
        "C:\\ProgramData\\Kelvane\\incidents\\20260612-114531-cpu-over.csv";
    EXPECT_EQ(e[1].strings,
              (std::vector<std::string>{"CPU Temperature Over...",
                                        "System 38 C, fan 5000 rpm; CPU 90 C, fan 4500 rpm; "
                                        "Panel 36 C, fan 3750 rpm",
                                        incident}));
    EXPECT_EQ(e[2].kind, EventKind::Information);
    EXPECT_EQ(e[3].kind, EventKind::Error);
    // Out of reach five seconds after the fault: still the same episode, the same file.
    EXPECT_EQ(e[3].strings, std::vector<std::string>{incident});

    // Maintenance notices: 50 when one appears, 51 when it ends, 52 for a baseline started
    // over; none is a warning.
    Terminal worn;
    worn.f.tick_listeners = {&worn.events};
    worn.Tick(8);
    worn.f.maintenance.notice[1] = true;
    worn.f.maintenance.text[1] = "The CPU fan turns 31 % slower";
    worn.Tick(3);
    worn.f.maintenance.notice[1] = false;
    worn.Tick(3);
    worn.f.maintenance.started_over = 1;
    worn.Tick(3);
    ASSERT_EQ(worn.sink.Ids(),
              (std::vector<int>{kMaintenanceNotice, kMaintenanceNoticeEnds, kBaselineStartedOver}));
    EXPECT_EQ(worn.sink.events[0].strings,
              (std::vector<std::string>{"The CPU fan turns 31 % slower", "cpu_fan_slower"}));
    EXPECT_EQ(worn.sink.events[1].strings, std::vector<std::string>{"cpu_fan_slower"});
    for (const FleetEvent& e : worn.sink.events) EXPECT_EQ(e.kind, EventKind::Information);

    Terminal partly;  // a settings file that stopped, with the log switched off in memory
    partly.f.findings.settings_read_to_end = false;
    partly.f.findings.stopped_section = "VIN2";
    partly.f.findings.stopped_key = "Percent";
    partly.events.AfterLoad(partly.f, true);
    partly.f.findings.stopped_section = "kelvane.dat";
    partly.f.findings.stopped_key.clear();
    partly.events.AfterLoad(partly.f, true);
    ASSERT_EQ(partly.sink.Ids(),
              (std::vector<int>{kSettingsStopped, kStarted, kSettingsStopped, kStarted}));
    EXPECT_EQ(partly.sink.events[0].strings[0], "key Percent in section [VIN2]");
    EXPECT_EQ(partly.sink.events[2].strings[0], "the port program kelvane.dat");
    partly.Tick(8);
    partly.board.set_failing(true);
    partly.Tick();
    partly.board.set_failing(false);
    // The failed port program is a set-up problem, named on the first tick.
    ASSERT_EQ(partly.sink.events.size(), 6u);
    EXPECT_EQ(partly.sink.events[4].id, kSetupProblem);
    EXPECT_EQ(partly.sink.events[4].strings[1], "port_program_failed");
    EXPECT_EQ(partly.sink.events[5].strings, std::vector<std::string>{"none"});  // no history
    partly.events.HistoryUnwritable(partly.f, "D:\\kept");
    EXPECT_EQ(partly.sink.events[6].id, kHistoryUnwritable);
    EXPECT_EQ(partly.sink.events[6].strings, std::vector<std::string>{"D:\\kept"});
    partly.f.settings.g_ExportEventLog = 0;
    partly.Tick(4);
    partly.board.set_failing(true);
    partly.Tick();
    Form1_Form_Unload(partly.f, shell);
    EXPECT_EQ(partly.sink.events.size(), 7u);

    Terminal gated;  // the gate ends the start before anything else
    gated.f.g_ProgramRoot = "C:\\POS";
    gated.f.findings.gate_handed_over = true;
    gated.events.AfterLoad(gated.f, false);
    EXPECT_EQ(gated.sink.Ids(), std::vector<int>{kGateHandedOver});
    EXPECT_EQ(gated.sink.events[0].strings[0],
              "C:\\POS\\Vorlind\\Vorlind Fan control Tool\\quick.exe");
}

}  // namespace
}  // namespace kelvane
