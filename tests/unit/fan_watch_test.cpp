#include "failsafe/fan_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/chip_steps.h"
#include "app/startup.h"
#include "board/board.h"
#include "chip/speaker.h"
#include "export/fleet_events.h"
#include "monitor/monitor_cycle.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using Writes = std::vector<std::pair<int, int>>;

struct QuietShell : testing::NullShell {
    std::vector<std::string> calls;
    void StopMonitorTimer() override { calls.push_back("StopTimer"); }
};

struct Sink : EventSink {
    std::vector<FleetEvent> events;
    void Report(const FleetEvent& e) override { events.push_back(e); }
};

// Writes 0x44 to 0x14 and 0x77 to 0x6D: the port program is Kelvane's own first write.
const std::string kPortProgram("\x87\x95\x02\x14\x44\x87\x95\x02\x6D\x77\x00", 11);

// What outlives a Kelvane process: the chip, the data folder and the boot.
struct Machine {
    explicit Machine(const std::string& board_text) : board(board_text) {}
    struct Disk : FileReplacer {
        testing::FakeFiles files;
        bool works = true;
        bool Replace(const std::string& path, std::string_view data) override {
            if (works) files.files[path] = std::string(data);
            return works;
        }
    };
    struct Boot : BootClock {
        BootStamp now{1781257000, 45};
        BootStamp Now() override { return now; }
    };
    std::string& kept() { return disk.files.files[kPath]; }

    static constexpr const char* kPath = "C:\\ProgramData\\Kelvane\\power-on.ini";
    board::Board board;
    Disk disk;
    Boot boot;
    PowerOnStore store{disk.files, disk, boot, kPath};
};

// A terminal started through the whole start-up sequence, the watch and the event log
// attached as the program attaches them.
struct Terminal {
    // library_late: the driver library fails until the test lets it answer.
    explicit Terminal(const std::string& board_text, const std::string& ini,
                      bool library_late = false)
        : Terminal(std::make_unique<Machine>(board_text), nullptr, ini, library_late) {}
    // A run on a machine an earlier run left.
    Terminal(Machine& machine, const std::string& ini) : Terminal(nullptr, &machine, ini, false) {}
    Terminal(std::unique_ptr<Machine> own, Machine* shared, const std::string& ini,
             bool library_late)
        : own_machine(std::move(own)),
          machine(shared != nullptr ? *shared : *own_machine),
          rig(board, ini) {
        rig.files.files[kProgTxt] = "C:\\POS";
        rig.files.files[f.ProgramFile("kelvane.dat")] = kPortProgram;
        watch.KeepPowerOnValuesIn(machine.store);
        watch.Tell(events);
        f.tick_listeners = {&watch, &late, &events};
        board.set_failing(library_late);
        EXPECT_TRUE(Form1_Form_Load(f, shell, &watch).keep_running);
    }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) Form1_Timer1_Timer(f);
    }
    Writes WritesSince(std::size_t from) const {
        Writes w;
        const auto& a = board.accesses();
        for (std::size_t i = from; i < a.size(); ++i)
            if (a[i].kind == board::Board::Access::Kind::WriteReg && a[i].port == 0x295)
                w.emplace_back(a[i].reg, a[i].value);
        return w;
    }
    bool PortProgramRanSince(std::size_t from) const {
        for (const auto& [reg, value] : WritesSince(from))
            if (reg == 0x14 && value == 0x44) return true;
        return false;
    }
    std::vector<int> EventIds() const {
        std::vector<int> ids;
        for (const FleetEvent& e : sink.events) ids.push_back(e.id);
        return ids;
    }

    std::unique_ptr<Machine> own_machine;
    Machine& machine;
    board::Board& board = machine.board;
    testing::Rig rig;
    Form1& f = rig.form;
    long long now = 1000000;
    FanWatch watch{f, [this] { return now; }};
    LateChipSteps late{&watch};
    Sink sink;
    FleetEvents events{sink};
    QuietShell shell;
};

// Power-on values of the watched registers, distinct from anything an apply or a tick writes.
const char* kPowerOn =
    "[Registers]\n14=0x5A\n15=0x11\n16=0x12\n65=1\n66=2\n67=3\n6D=4\n6E=5\n6F=6\n"
    "29=38\n2A=42\n2B=36\n";

TEST(FanHandBack, EachRegisterGetsWhatTheLastApplyLeftOrItsPowerOnValue) {
    // Older layout. Fan 0 automatic at start-up, then switched to software mode by a dialog
    // Apply; fan 1's heading is hidden, so no apply ever programs it.
    Terminal t(std::string("[Chip]\nRevision=3\n") + kPowerOn,
               "[Fan Ctrl Option 0]\nMode=0\nS0=20\nS1=30\nS2=40\nS3=50\nS4=60\nSpeed0=21\n"
               "Speed1=22\nSpeed2=23\n[Fan Ctrl Option 2]\nMode=1\nSwFan=9\n"
               "[Label Option 1]\nVisible=0\n");
    Form1& f = t.f;
    ASSERT_EQ(f.KelvaneFanFlag, kFalse);
    ASSERT_TRUE(t.PortProgramRanSince(0));
    t.Tick(8);  // past warm-up: the normal steps write 0x14, 0x15 and 0x16
    f.settings.g_FanCtrl[0].Mode = 1;
    f.settings.g_FanCtrl[0].SwFan = 50;
    ApplySettings(ApplyContextOf(f), kTrue);
    t.Tick(2);

    const std::size_t at = t.board.accesses().size();
    Form1_Form_Unload(f, t.shell, &t.watch);
    // The dialog's software speed for fan 0, the start-up apply's automatic speeds it left in
    // 0x65..0x67, and the values read before the port program for everything else.
    EXPECT_EQ(t.WritesSince(at), (Writes{{0x14, 0x5A},
                                         {0x15, 50},
                                         {0x16, 0x12},
                                         {0x65, 21},
                                         {0x66, 22},
                                         {0x67, 23},
                                         {0x6D, 4},
                                         {0x6E, 5},
                                         {0x6F, 6}}));
    EXPECT_EQ(t.shell.calls.front(), "StopTimer");
    ASSERT_FALSE(t.sink.events.empty());
    EXPECT_EQ(t.sink.events.back().id, event_id::kEnded);
    EXPECT_EQ(t.sink.events.back().strings,
              (std::vector<std::string>{"5.07", "The fans were handed back to the chip."}));

    // Nothing writes after the hand-back: not a late tick's check, not a resume, not a crash.
    const std::size_t after = t.board.accesses().size();
    t.watch.AfterTick(f);
    t.now += 10 * FanWatch::kRestoreGapMs;
    t.watch.OnResume();
    EXPECT_FALSE(t.watch.HandBack(false));
    EXPECT_EQ(t.board.accesses().size(), after);
}

TEST(FanHandBack, NewerLayoutHandsBackSelectorAndFixedSpeedOnly) {
    // Complete records: at start-up only a fan the file describes is programmed.
    const char* ini =
        "[Default Fan Ctrl 0]\nS0=30\nS1=40\nS2=50\nDeltaTemp=2\nSpeed0=20\n"
        "[Default Fan Ctrl 1]\nS0=30\nS1=40\nS2=50\nDeltaTemp=2\nSpeed0=20\n"
        "[Fan Ctrl Option 0]\nMode=0\n[Fan Ctrl Option 1]\nMode=1\nSwFan=33\n"
        "[Fan Speed Led Option 0]\nTag=5\n";
    const Writes handed_back{{0x14, 0x5A}, {0x15, 0x85}, {0x16, 33}};
    Terminal t(kPowerOn, ini);
    ASSERT_EQ(t.f.KelvaneFanFlag, kTrue);
    t.Tick(8);
    const std::size_t at = t.board.accesses().size();
    EXPECT_TRUE(t.watch.HandBack());
    EXPECT_EQ(t.WritesSince(at), handed_back);

    // A dying thread that holds the driver's lock has a fresh thread write the same for it and
    // then switch off the speaker of a note it cut short. From then on no thread reaches the
    // chip: not the window's next tick, not the tune's next note.
    Terminal dying(kPowerOn, ini);
    dying.Tick(8);
    dying.board.Outb(0x61, 0x33);
    const std::size_t before = dying.board.accesses().size();
    {
        const std::scoped_lock held(dying.watch.driver_lock());
        std::thread([&] { EXPECT_TRUE(dying.watch.HandBackUnderHeldLock()); }).join();
    }
    EXPECT_EQ(dying.WritesSince(before), handed_back);
    EXPECT_EQ(dying.board.Inb(0x61) & 0x03, 0);
    const std::size_t silenced = dying.board.accesses().size();
    std::thread([&] {
        dying.Tick();
        NoteRecord note{0, 150};
        EXPECT_THROW(PlayNote(dying.f.chip, dying.rig.clock, note), RuntimeError);
    }).join();
    EXPECT_EQ(dying.board.accesses().size(), silenced);
    EXPECT_FALSE(dying.watch.HandBack());

    // A chip that cannot be reached: one try, nothing more, and the end event says so.
    Terminal lost(kPowerOn, "");
    lost.Tick(8);
    lost.board.set_failing(true);
    Form1_Form_Unload(lost.f, lost.shell, &lost.watch);
    EXPECT_EQ(lost.sink.events.back().strings[1],
              "The chip could not be reached: the fans were not handed back.");
    lost.board.set_failing(false);
    const std::size_t after = lost.board.accesses().size();
    EXPECT_FALSE(lost.watch.HandBack());
    EXPECT_EQ(lost.board.accesses().size(), after);

    // No library for the whole run: there was nothing to hand back, and the event says so.
    Terminal never(kPowerOn, "", true);
    never.Tick(3);
    Form1_Form_Unload(never.f, never.shell, &never.watch);
    EXPECT_EQ(never.sink.events.back().strings[1],
              "The hardware monitor was never reached: the fans kept the chip's own settings.");

    // A library that arrives after start-up, with no fan record in the file: its first reach
    // notes the power-on values before the port program, and the fans the ticks stepped go
    // back to them.
    Terminal late(kPowerOn, "", true);
    late.Tick(3);
    late.board.set_failing(false);
    late.Tick(10);
    ASSERT_TRUE(late.PortProgramRanSince(0));
    const std::size_t stepped = late.board.accesses().size();
    Form1_Form_Unload(late.f, late.shell, &late.watch);
    EXPECT_EQ(late.WritesSince(stepped), (Writes{{0x14, 0x5A}, {0x15, 0x11}, {0x16, 0x12}}));

    // Killed after its steps, so that its end never ran: a run started again in the same boot
    // finds the fans at that last step, and hands back what the first run noted.
    Machine machine(kPowerOn);
    std::optional<Terminal> run(std::in_place, machine, "");
    run->Tick(10);
    ASSERT_NE(machine.board.reg(0x15), 0x11);
    const auto restart_and_exit = [&] {
        machine.boot.now.uptime_seconds += 60;
        run.emplace(machine, "");
        run->Tick(10);
        const std::size_t from = machine.board.accesses().size();
        Form1_Form_Unload(run->f, run->shell, &run->watch);
        return run->WritesSince(from);
    };
    EXPECT_EQ(restart_and_exit(), (Writes{{0x14, 0x5A}, {0x15, 0x11}, {0x16, 0x12}}));
    // A new boot, whose firmware set the chip up otherwise: noted afresh.
    machine.board.set_reg(0x14, 0x5B);
    machine.board.set_reg(0x15, 0x21);
    machine.board.set_reg(0x16, 0x22);
    machine.boot.now = {1781300000, 40};
    EXPECT_EQ(restart_and_exit(), (Writes{{0x14, 0x5B}, {0x15, 0x21}, {0x16, 0x22}}));
    // A file cut short (a power cut as it was written): noted afresh, and whole again.
    machine.kept().resize(machine.kept().size() / 2);
    machine.board.set_reg(0x15, 0x31);
    EXPECT_EQ(restart_and_exit(), (Writes{{0x14, 0x5B}, {0x15, 0x31}, {0x16, 0x22}}));
    ASSERT_TRUE(ParsePowerOnText(machine.kept()));
    EXPECT_EQ(ParsePowerOnText(machine.kept())->values[1], 0x31);
}

TEST(FanHandBack, PowerOnValuesAreKeptForTheBootAndLayoutThatNotedThem) {
    Machine m(kPowerOn);
    PowerOnValues older{}, other{}, newer{};
    for (std::size_t i = 0; i < older.size(); ++i) {
        older[i] = static_cast<std::uint8_t>(0xA0 + i);
        other[i] = static_cast<std::uint8_t>(0x10 + i);
    }
    older[4].reset();  // could not be read: stays unknown, not 0
    newer[0] = 0x5A, newer[1] = 0x11, newer[2] = 0x12;
    int reads = 0;
    const auto reading = [&reads](const PowerOnValues& v) {
        return [&reads, v] {
            ++reads;
            return v;
        };
    };
    EXPECT_EQ(m.store.Recall(false, reading(older)), older);
    // Later in the boot, the clock corrected by a time service: kept. Not kept beyond that,
    // nor for the other layout, nor across a restart that began near the last one's time.
    m.boot.now = {1781257000 + kBootToleranceSeconds, 900};
    EXPECT_EQ(m.store.Recall(false, reading(other)), older);
    m.boot.now.boot_unix_seconds -= 2 * kBootToleranceSeconds;
    EXPECT_EQ(m.store.Recall(false, reading(other)), older);
    EXPECT_EQ(reads, 1);
    m.boot.now.boot_unix_seconds -= 1;
    EXPECT_EQ(m.store.Recall(false, reading(other)), other);
    EXPECT_EQ(m.store.Recall(true, reading(newer)), newer);
    m.boot.now.uptime_seconds = 30;
    EXPECT_EQ(m.store.Recall(true, reading(newer)), newer);
    EXPECT_EQ(reads, 4);

    // A chip not reached is noted by the next run; a file that cannot be written changes
    // nothing but the next run.
    m.boot.now = {1781400000, 40};
    EXPECT_EQ(m.store.Recall(true, reading(PowerOnValues{})), PowerOnValues{});
    m.disk.works = false;
    EXPECT_EQ(m.store.Recall(true, reading(newer)), newer);
    m.disk.works = true;
    EXPECT_EQ(m.store.Recall(true, reading(newer)), newer);
    EXPECT_EQ(m.store.Recall(true, reading(other)), newer);
    EXPECT_EQ(reads, 7);

    // Any cut, or any changed character, is not taken for a kept set.
    const std::string text = m.kept();
    for (std::size_t n = 0; n < text.size(); ++n) {
        EXPECT_FALSE(ParsePowerOnText(text.substr(0, n))) << n;
        std::string changed = text;
        changed[n] = changed[n] == '1' ? '2' : '1';
        EXPECT_FALSE(ParsePowerOnText(changed)) << n;
    }
}

TEST(FanRestore, LostSettingsComeBackAtMostOnceAMinutePerFanUntilTheChipProvesItCannotKeepThem) {
    // Newer layout, fans 0 and 1 automatic.
    Terminal t(kPowerOn,
               "[Fan Ctrl Option 0]\nMode=0\nS0=31\nS1=41\nS2=51\nSpeed0=20\nDeltaTemp=2\n"
               "[Fan Ctrl Option 1]\nMode=0\nS0=32\nS1=42\nS2=52\nSpeed0=20\nDeltaTemp=2\n");
    Form1& f = t.f;
    const int b3 = t.board.reg(0x63), b4 = t.board.reg(0x64);
    std::size_t at = t.board.accesses().size();
    t.Tick(10);
    EXPECT_FALSE(t.PortProgramRanSince(at)) << "the port program ran on a chip that kept its state";
    EXPECT_EQ(t.watch.restores(), 0);

    // Changed under Kelvane: the next tick's reads show it, and the same tick restores the
    // port program and the apply's writes, from the settings that apply used.
    f.settings.g_FanCtrl[0].S[0] = 77;  // edited, not applied
    t.board.set_reg(0x61, 99);
    at = t.board.accesses().size();
    t.Tick();
    EXPECT_TRUE(t.PortProgramRanSince(at));
    Writes restored = t.WritesSince(at);
    EXPECT_NE(std::find(restored.begin(), restored.end(), std::pair{0x61, 41}), restored.end());
    EXPECT_EQ(std::find(restored.begin(), restored.end(), std::pair{0x60, 77}), restored.end());
    EXPECT_EQ(t.board.reg(0x63), b3);
    EXPECT_EQ(t.board.reg(0x64), b4);
    EXPECT_EQ(t.watch.restores(), 1);

    // Within the minute the fan waits; after it, it is restored again.
    t.Tick();
    t.board.set_reg(0x62, 1);
    t.now += FanWatch::kRestoreGapMs - 1000;
    at = t.board.accesses().size();
    t.Tick(3);
    EXPECT_FALSE(t.PortProgramRanSince(at));
    t.now += 1000;
    t.Tick();
    EXPECT_EQ(t.board.reg(0x62), 51);
    EXPECT_EQ(t.watch.restores(), 2);
    t.Tick();  // kept

    // A chip that loses it at once: restored once more, then left alone and told once.
    t.board.hold(0x60, 3);
    t.now += FanWatch::kRestoreGapMs;
    t.Tick(2);
    EXPECT_TRUE(t.watch.gave_up(0));
    t.now += 5 * FanWatch::kRestoreGapMs;
    at = t.board.accesses().size();
    t.Tick(3);
    EXPECT_FALSE(t.PortProgramRanSince(at));
    // The other fan is still watched, and the chip is not said twice to lose its settings.
    t.board.set_reg(0x69, 5);
    t.Tick();
    EXPECT_EQ(t.board.reg(0x69), 42);
    EXPECT_FALSE(t.watch.gave_up(1));
    EXPECT_EQ(t.watch.restores(), 4);
    using namespace event_id;
    EXPECT_EQ(t.EventIds(),
              (std::vector<int>{kFanSettingsRestored, kFanSettingsRestored, kFanSettingsRestored,
                                kFanSettingsNotKept, kFanSettingsRestored}));
    EXPECT_EQ(t.sink.events[0].strings, std::vector<std::string>{"registers changed"});
    std::vector<std::string> details;
    t.watch.AddDetails(f, details);
    EXPECT_EQ(details, std::vector<std::string>{
                           "Fan settings restored: 4 times, last 12/6/2026 10:45:31 PM (the chip "
                           "does not keep the fan settings)"});
}

TEST(FanRestore, ResumeChecksAtOnceAndAtMostOnceAMinute) {
    Terminal t(kPowerOn,
               "[Fan Ctrl Option 0]\nMode=0\nS0=31\nS1=41\nS2=51\nSpeed0=20\nDeltaTemp=2\n");
    t.Tick(8);
    // A chip that kept its settings: the ten registers are read, nothing is written.
    std::size_t at = t.board.accesses().size();
    t.watch.OnResume();
    EXPECT_EQ(t.board.accesses().size() - at, 10u);
    EXPECT_TRUE(t.WritesSince(at).empty());

    // Back at power-on values, within a minute of the last resume: left to the next tick.
    t.board.set_reg(0x60, 30);
    t.now += FanWatch::kRestoreGapMs - 1;
    at = t.board.accesses().size();
    t.watch.OnResume();
    EXPECT_EQ(t.board.accesses().size(), at);
    t.now += 1;
    t.watch.OnResume();
    EXPECT_EQ(t.board.reg(0x60), 31);
    EXPECT_TRUE(t.PortProgramRanSince(at));
    EXPECT_EQ(t.sink.events.back().id, event_id::kFanSettingsRestored);
    EXPECT_EQ(t.sink.events.back().strings, std::vector<std::string>{"after resume"});

    // A dialog Apply that refuses a value leaves the fan, and what it is compared with, alone.
    t.Tick();
    t.f.settings.g_FanCtrl[0].Speed[0] = 300;
    EXPECT_THROW(ApplySettings(ApplyContextOf(t.f), kTrue), RuntimeError);
    t.board.set_reg(0x60, 30);
    t.now += FanWatch::kRestoreGapMs;
    t.Tick(2);
    EXPECT_EQ(t.board.reg(0x60), 31);
    EXPECT_EQ(t.watch.restores(), 2);

    // A restore that cannot run proves nothing about the chip: the fan waits its minute.
    t.f.last_apply.fans[0].settings.Speed[0] = 300;  // the fan part refuses it, writing nothing
    t.board.set_reg(0x60, 30);
    t.now += FanWatch::kRestoreGapMs;
    t.Tick(3);
    EXPECT_FALSE(t.watch.gave_up(0));
    EXPECT_EQ(t.watch.restores(), 2);
}

}  // namespace
}  // namespace kelvane
