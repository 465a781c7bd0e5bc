#include "history/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "history/civil_time.h"
#include "history/csv.h"
#include "history/span.h"
#include "history/view_state.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "setup/setup_problem.h"
#include "support/fakes.h"

namespace kelvane::history {
namespace {

constexpr const char* kRoot = "C:\\ProgramData\\Kelvane";
constexpr std::int64_t kStart = 1781257500;  // 2026-06-12 09:45:00 UTC, 11:45 local

// 16 mV a step, as the monitor scales an input without a nominal rail.
double PinVolts(int, double raw) { return raw * 0.016; }

Sample Tick(std::int64_t time, int temp, int code = 0, bool lasting = false,
            bool reachable = true) {
    Sample s;
    s.time = time;
    s.temp = {static_cast<std::int16_t>(temp), 40, 30};
    s.fan = {5000, 4500, 3750};
    s.volt = {200, 0, 0, 0, 0, 0, 0, 0, 0};
    s.volt_shown = 1;
    s.limit = {70, 70};
    s.status = static_cast<std::uint8_t>(code);
    s.flags = static_cast<std::uint8_t>((lasting ? Sample::kLasting : 0) |
                                        (reachable ? Sample::kReachable : 0));
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

struct Machine {
    testing::FakeFiles files;
    testing::FakeClock clock;
    History history{files, clock, &PinVolts, kRoot, 3 * 3600};
    Machine() { clock.unix_seconds = kStart; }
    void Record(const Sample& s) {
        clock.unix_seconds = s.time;
        history.Record(s);
    }
    std::size_t Writes() const { return files.appended_paths.size(); }
    std::size_t DayWrites() const {
        std::size_t n = 0;
        for (const std::string& p : files.appended_paths)
            n += p.find("\\history\\") != std::string::npos;
        return n;
    }
};

TEST(HistoryRing, WrapsKeepingTheNewestDayInOneAllocation) {
    Ring ring(5);
    for (int i = 0; i < 8; ++i) ring.Push(Tick(kStart + i, 40 + i));
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(ring.at(0).time, kStart + 3);
    EXPECT_EQ(ring.newest().temp[0], 47);
    EXPECT_EQ(ring.FirstAtOrAfter(kStart + 5), 2u);
    EXPECT_EQ(ring.FirstAtOrAfter(kStart), 0u);
    EXPECT_EQ(ring.FirstAtOrAfter(kStart + 99), 5u);
    EXPECT_LE(kRingSamples * sizeof(Sample), 4u * 1024 * 1024);
    EXPECT_EQ(Ring().capacity(), 86400u);
}

TEST(HistoryCsv, TimesAndMinuteRowsReadBackAsWritten) {
    EXPECT_EQ(IsoText(kStart, 120), "2026-06-12T11:45:00+02:00");
    EXPECT_EQ(IsoText(kStart, -210), "2026-06-12T06:15:00-03:30");
    EXPECT_EQ(IsoText(1709164800, 0), "2024-02-29T00:00:00+00:00");
    for (int offset : {0, 120, -210, 345})
        EXPECT_EQ(ParseIso(IsoText(kStart + 17, offset)), kStart + 17);
    EXPECT_FALSE(ParseIso("2026-02-30T00:00:00+00:00"));
    EXPECT_FALSE(ParseIso("2026-06-12 11:45:00+02:00"));
    EXPECT_EQ(StampText(kStart + 31, 120), "20260612-114531");
    EXPECT_EQ(ParseDay(DayText(LocalDay(kStart, 120))), LocalDay(kStart, 120));
    EXPECT_EQ(LocalDay(1781301600, 120) - LocalDay(1781301599, 120), 1);  // local midnight
    EXPECT_EQ(FixedText(-0.004, 2), "0.00");
    EXPECT_EQ(FixedText(-12.345, 1), "-12.3");
    EXPECT_EQ(FixedText(3.2, 3), "3.200");

    MinuteRow row;
    row.time = kStart;
    row.offset_minutes = 120;
    row.samples = 60;
    row.status = 3;
    row.lasting_s = 12;
    row.unreachable_s = 2;
    row.limit = {70, 65};
    row.stat[0] = {true, 38, 41.25, 45};
    row.stat[kFirstFan + 2] = {true, 3700, 3750.5, 3800};
    row.stat[kFirstVolt] = {true, -12.16, -12.0, -11.84};
    row.step = {20, -1};
    const std::string text = MinuteHeader() + MinuteRowText(row) +
                             "2026-06-12T11:46:00+02:00,60,x\r\n" + MinuteRowText(row);
    EXPECT_EQ(Lines(text)[0].substr(0, 40), "time,samples,status,lasting_s,critical_s");
    const std::vector<MinuteRow> back = ReadMinuteRows(text);
    ASSERT_EQ(back.size(), 2u);  // the header and the damaged line are skipped
    const MinuteRow& r = back[0];
    EXPECT_EQ(r.time, kStart);
    EXPECT_EQ(r.offset_minutes, 120);
    EXPECT_EQ((std::vector<int>{r.samples, r.status, r.lasting_s, r.critical_s, r.unreachable_s,
                                r.limit[0], r.limit[1]}),
              (std::vector<int>{60, 3, 12, 0, 2, 70, 65}));
    EXPECT_DOUBLE_EQ(r.stat[0].mean, 41.3);  // one decimal for means of whole numbers
    EXPECT_DOUBLE_EQ(r.stat[kFirstFan + 2].max, 3800);
    EXPECT_DOUBLE_EQ(r.stat[kFirstVolt].min, -12.16);
    EXPECT_DOUBLE_EQ(r.stat[kFirstVolt].mean, -12.0);
    EXPECT_FALSE(r.stat[1].present);
    EXPECT_TRUE(r.has_step);
    EXPECT_EQ(r.step, (std::array<int, 2>{20, -1}));
    EXPECT_EQ(MinuteRowText(r), MinuteRowText(back[1]));
    // A row from before the steps were kept reads without them; a step that is no number
    // damages the row.
    const std::string line = Lines(MinuteRowText(row))[0];
    const std::string old = line.substr(0, line.size() - 4) + "\r\n";
    ASSERT_EQ(line.substr(line.size() - 4), ",20,");
    const std::vector<MinuteRow> older = ReadMinuteRows(old + line + "x\r\n");
    ASSERT_EQ(older.size(), 1u);
    EXPECT_FALSE(older[0].has_step);
    EXPECT_EQ(older[0].step, (std::array<int, 2>{-1, -1}));
}

TEST(HistoryMinutes, OneRowAMinuteWithItsExtremesMeanAndWorstState) {
    Machine m;
    for (int i = 0; i < 60; ++i) {
        const bool away = i >= 50 && i < 55;  // five seconds out of reach: no readings
        Sample s = Tick(kStart + i, away ? 99 : 40 + i % 3, i == 20 ? 1 : 0, false, !away);
        s.volt[0] = static_cast<std::uint8_t>(i < 30 ? 200 : 210);
        s.step = {20, static_cast<std::int8_t>(i == 59 ? 4 : 20)};
        m.Record(s);
    }
    EXPECT_EQ(m.DayWrites(), 0u);  // nothing is written every second
    m.Record(Tick(kStart + 60, 50));
    m.Record(Tick(kStart + 61, 50));
    ASSERT_EQ(m.DayWrites(), 1u);
    const std::string path = std::string(kRoot) + "\\history\\2026-06-12.csv";
    const std::vector<std::string> lines = Lines(m.files.files[path]);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], Lines(MinuteHeader())[0]);
    const std::vector<MinuteRow> rows = ReadMinuteRows(m.files.files[path]);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(lines[1].substr(0, 37), "2026-06-12T11:45:00+02:00,60,0,0,0,5,");
    EXPECT_EQ(rows[0].status, 0);  // unreachable was worse than the young code 1
    EXPECT_DOUBLE_EQ(rows[0].stat[0].min, 40);
    EXPECT_DOUBLE_EQ(rows[0].stat[0].max, 42);
    EXPECT_DOUBLE_EQ(rows[0].stat[0].mean, 41.0);
    EXPECT_DOUBLE_EQ(rows[0].stat[kFirstVolt].min, 3.2);
    EXPECT_DOUBLE_EQ(rows[0].stat[kFirstVolt].max, 3.36);
    EXPECT_DOUBLE_EQ(rows[0].stat[kFirstVolt].mean, 3.273);  // 30 x 200 and 25 x 210 steps
    EXPECT_FALSE(rows[0].stat[kFirstVolt + 1].present);      // not shown, never read
    EXPECT_EQ(rows[0].step, (std::array<int, 2>{20, -1}));   // the CPU fan changed its step

    // A restart keeps the file; its header is not written twice; the ring starts empty.
    Machine again;
    again.files.files = m.files.files;
    for (int i = 0; i < 3; ++i) again.Record(Tick(kStart + 180 + i * 60, 45));
    EXPECT_EQ(again.history.ring().size(), 3u);
    const std::vector<std::string> after = Lines(again.files.files[path]);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[2].substr(0, 25), "2026-06-12T11:48:00+02:00");
    EXPECT_EQ(ReadMinuteRows(again.files.files[path]).size(), 3u);
}

TEST(HistoryDays, FortyDaysKeepTheLast31AndTheFolderStaysWithin32MB) {
    Machine m;
    m.history.Configure("", 31);
    const std::string incidents = std::string(kRoot) + "\\incidents\\";
    // 55 old incidents of 700 kB and a file of someone else's.
    for (int i = 0; i < 55; ++i) {
        const std::string name = "202605" + std::to_string(10 + i / 10) + "-0000" +
                                 std::to_string(10 + i % 10) + "-cpu-over.csv";
        m.files.files[incidents + name] = std::string(700 * 1024, 'x');
    }
    m.files.files[incidents + "notes.txt"] = "keep me";
    for (std::int64_t t = kStart; t < kStart + 40 * 86400; t += 60) m.Record(Tick(t, 40));
    const auto days = m.files.ListFiles(std::string(kRoot) + "\\history");
    ASSERT_EQ(days.size(), 31u);
    EXPECT_EQ(days.front().name, "2026-06-22.csv");
    EXPECT_EQ(days.back().name, "2026-07-22.csv");
    std::uint64_t total = 0;
    for (const auto& folder : {"\\history", "\\incidents"})
        for (const FileEntry& e : m.files.ListFiles(std::string(kRoot) + folder)) total += e.size;
    EXPECT_LE(total, kFolderCap);
    const auto left = m.files.ListFiles(std::string(kRoot) + "\\incidents");
    EXPECT_LT(left.size(), 50u);  // beyond the 50 newest, then the oldest for the cap
    EXPECT_EQ(left.back().name, "notes.txt");
    EXPECT_EQ(left[left.size() - 2].name, "20260515-000014-cpu-over.csv");  // the newest stays

    // A day file of 40 MB: the cap takes the older days first, never today's.
    Machine big;
    big.files.files[std::string(kRoot) + "\\history\\2026-06-11.csv"] = std::string(20 << 20, 'x');
    big.files.files[std::string(kRoot) + "\\history\\2026-06-12.csv"] = std::string(20 << 20, 'x');
    big.Record(Tick(kStart, 40));
    EXPECT_EQ(big.files.ListFiles(std::string(kRoot) + "\\history").size(), 1u);
    EXPECT_EQ(big.files.files.count(std::string(kRoot) + "\\history\\2026-06-12.csv"), 1u);
}

TEST(HistoryIncidents, FifteenMinutesBeforeTheSecondsOfTheEpisodeAndFiveMinutesAfter) {
    Machine m;
    std::int64_t t = kStart;
    for (; t < kStart + 20 * 60; ++t) m.Record(Tick(t, 50 + static_cast<int>(t % 7)));
    const std::int64_t began = t;
    const std::size_t writes_before = m.Writes();
    m.Record(Tick(t++, 90, 1, true));
    const std::string path = std::string(kRoot) + "\\incidents\\20260612-120500-cpu-over.csv";
    EXPECT_EQ(m.history.incident_path(), path);
    ASSERT_EQ(m.files.files.count(path), 1u);
    std::vector<std::string> lines = Lines(m.files.files[path]);
    ASSERT_EQ(lines.size(), 901u);  // written at once: the header and 15 minutes of seconds
    // Nameless channels and inputs are told apart by their numbers; the limits close the row.
    EXPECT_EQ(lines[0],
              "time,status,status_text,lasting,critical,reachable,Channel 0 (C),Channel 1 (C),"
              "Channel 2 (C),Channel 0 fan (rpm),Channel 1 fan (rpm),Channel 2 fan (rpm),"
              "Input 0 (V),Input 1 (V),Input 2 (V),Input 3 (V),Input 4 (V),Input 5 (V),"
              "Input 6 (V),Input 7 (V),Input 8 (V),Channel 0 limit (C),Channel 1 limit (C)");
    EXPECT_EQ(lines[1].substr(0, 25), IsoText(began - 899, 120));
    EXPECT_EQ(lines[900],
              "2026-06-12T12:05:00+02:00,1,CPU Temperature Over...,1,0,1,90,40,30,5000,4500,3750,"
              "3.20,,,,,,,,,70,70");

    // Its seconds go out once a minute; then back to normal, it ends five minutes later.
    for (; t < began + 100; ++t) m.Record(Tick(t, 90, 1, true));
    for (; t < began + 100 + 300; ++t) m.Record(Tick(t, 45));
    EXPECT_EQ(m.history.incident_path(), path);
    m.Record(Tick(t++, 45));
    EXPECT_EQ(m.history.incident_path(), "");
    for (int i = 0; i < 200; ++i) m.Record(Tick(t++, 45));
    lines = Lines(m.files.files[path]);
    ASSERT_EQ(lines.size(), 901u + 400u);
    EXPECT_EQ(lines.back().substr(0, 25), IsoText(began + 400, 120));
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        ASSERT_EQ(ParseIso(lines[i].substr(0, 25)).value() + 1,
                  ParseIso(lines[i + 1].substr(0, 25)))
            << "row " << i;
    int incident_writes = 0;
    for (std::size_t i = writes_before; i < m.files.appended_paths.size(); ++i)
        incident_writes += m.files.appended_paths[i] == path ? 1 : 0;
    EXPECT_LE(incident_writes, 1 + 8);  // at once, then at most once a minute and at the end

    // A fault that comes back within the five minutes stays in the same file; the chip out of
    // reach begins one of its own, ended by the program's end.
    Machine away;
    away.Record(Tick(kStart, 40, 0, false, false));
    EXPECT_EQ(away.history.incident_path(),
              std::string(kRoot) + "\\incidents\\20260612-114500-unreachable.csv");
    away.Record(Tick(kStart + 1, 40));
    away.Record(Tick(kStart + 200, 40, 4, true));
    away.history.Close();
    const auto rows = Lines(
        away.files.files[away.history.folder().incidents() + "\\20260612-114500-unreachable.csv"]);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], "2026-06-12T11:45:00+02:00,0,Normal...,0,0,0,,,,,,,,,,,,,,,,,");
    EXPECT_EQ(rows[3].substr(26, 35), "4,The System Fan is out of order.,1");
    EXPECT_EQ(rows[4], "# Kelvane ended during the episode");
    EXPECT_EQ(away.files.ListFiles(away.history.folder().incidents()).size(), 1u);
}

TEST(HistoryIncidents, ALongEpisodeKeepsItsFirstAndLastTwoHoursWithin2MB) {
    Machine m;
    std::int64_t t = kStart;
    for (; t < kStart + 5 * 3600; ++t) m.Record(Tick(t, 90, 1, true));
    for (int i = 0; i <= 300; ++i) m.Record(Tick(t++, 45));
    const std::string& text =
        m.files.files[m.history.folder().incidents() + "\\20260612-114500-cpu-over.csv"];
    EXPECT_LE(text.size(), kIncidentCap);
    const std::vector<std::string> lines = Lines(text);
    std::size_t note = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind("# left out: ", 0) == 0) note = i;
    ASSERT_GT(note, 1u);
    EXPECT_EQ(ParseIso(lines[note - 1].substr(0, 25)).value(), kStart + 2 * 3600 - 1);
    EXPECT_EQ(ParseIso(lines.back().substr(0, 25)).value(), t - 1);
    EXPECT_EQ(ParseIso(lines[note + 1].substr(0, 25)).value(), t - 2 * 3600);
}

TEST(HistoryIncidents, ASetClockNeitherFillsNorStretchesTheFile) {
    // Ten thousand seconds, the clock set back nine thousand, then a fault of a thousand.
    Machine m;
    std::int64_t t = kStart;
    for (; t < kStart + 10000; ++t) m.Record(Tick(t, 50));
    t -= 9000;
    const std::int64_t set_back = t;
    for (; t < set_back + 100; ++t) m.Record(Tick(t, 50));
    for (; t < set_back + 1100; ++t) m.Record(Tick(t, 90, 1, true));
    for (int i = 0; i <= 300; ++i) m.Record(Tick(t++, 45));
    EXPECT_EQ(m.history.incident_path(), "");
    const auto incidents = m.files.ListFiles(m.history.folder().incidents());
    ASSERT_EQ(incidents.size(), 1u);
    const std::vector<std::string> lines =
        Lines(m.files.files[m.history.folder().incidents() + "\\" + incidents[0].name]);
    ASSERT_EQ(lines.size(), 1u + 100 + 1000 + 301);
    EXPECT_EQ(ParseIso(lines[1].substr(0, 25)).value(), set_back);
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        ASSERT_LT(ParseIso(lines[i].substr(0, 25)), ParseIso(lines[i + 1].substr(0, 25)))
            << "row " << i;

    // Set back or forward by an hour in the five quiet minutes, it still ends after five.
    for (const std::int64_t jump : {-3600, 3600}) {
        Machine j;
        t = kStart;
        for (; t < kStart + 10; ++t) j.Record(Tick(t, 90, 1, true));
        for (int i = 0; i < 100; ++i) j.Record(Tick(t++, 45));
        t += jump;
        for (int i = 0; i < 200; ++i) j.Record(Tick(t++, 45));
        EXPECT_NE(j.history.incident_path(), "") << jump;
        j.Record(Tick(t++, 45));
        EXPECT_EQ(j.history.incident_path(), "") << jump;
    }

    // A clock that stands still puts the whole ring in the quarter hour before; the head
    // still keeps to its half of the file.
    Ring ring(40000);
    for (int i = 0; i < 40000; ++i) ring.Push(Tick(kStart, 50));
    std::string file;
    IncidentRecorder recorder(ring, [&](const std::string&, const std::string& text) {
        file += text;
        return true;
    });
    ring.Push(Tick(kStart, 90, 1, true));
    ASSERT_TRUE(recorder.Record(ring.newest(), "C:\\i", 120, &PinVolts, {}));
    EXPECT_GT(file.size(), kIncidentCap / 2 - 200);
    EXPECT_LE(file.size(), kIncidentCap / 2);
    EXPECT_EQ(Lines(file).back().substr(26, 27),
              "1,CPU Temperature Over...,1");  // the newest rows are the ones kept
}

TEST(HistoryFolder, AFolderThatCannotBeWrittenIsToldOnceAndTheRingGoesOn) {
    Machine m;
    std::vector<std::string> told;
    m.history.TellUnwritableTo([&](const std::string& folder) { told.push_back(folder); });
    m.history.Configure("D:\\kept\\", 5);
    m.files.folders["D:\\kept\\history"] = false;
    for (int i = 0; i < 300; ++i) m.Record(Tick(kStart + i, 90, 1, i > 100));
    EXPECT_EQ(told, std::vector<std::string>{"D:\\kept"});
    EXPECT_EQ(m.history.ring().size(), 300u);
    EXPECT_TRUE(m.files.files.empty());
    EXPECT_TRUE(m.history.unwritable());
    board::Board board;
    testing::Rig rig(board);
    std::vector<std::string> lines;
    m.history.AddDetails(rig.form, lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "History folder: D:\\kept (cannot be written)");
    EXPECT_EQ(lines[1], "Incident file: D:\\kept\\incidents\\20260612-114641-cpu-over.csv");

    // The form holds it as a set-up problem while the writes fail, and no longer after.
    m.history.BeforeTell(rig.form);
    EXPECT_EQ(SetupShortText(rig.form, SetupReason::HistoryUnwritable),
              "Check history folder: D:\\kept cannot be written");
    // Once the folder can be written the rows that waited come first, whole and in order.
    m.files.folders["D:\\kept\\history"] = true;
    for (int i = 300; i < 420; ++i) m.Record(Tick(kStart + i, 90, 1, true));
    m.history.BeforeTell(rig.form);
    EXPECT_FALSE(HasSetupProblem(rig.form, SetupReason::HistoryUnwritable));
    const auto day = Lines(m.files.files.at("D:\\kept\\history\\2026-06-12.csv"));
    ASSERT_EQ(day.size(), 1u + 6);  // the header and the six whole minutes
    EXPECT_EQ(day[0], Lines(MinuteHeader())[0]);
    const auto incident =
        Lines(m.files.files.at("D:\\kept\\incidents\\20260612-114641-cpu-over.csv"));
    ASSERT_EQ(incident.size(), 1u + 361);  // from the ring's first second to the last flush
    EXPECT_EQ(incident[0], Lines(SampleHeader({}))[0]);
    for (std::size_t i = 1; i < incident.size(); ++i)
        ASSERT_EQ(ParseIso(incident[i].substr(0, 25)), kStart + std::int64_t(i) - 1) << i;
    for (std::size_t i = 1; i < day.size(); ++i)
        ASSERT_EQ(ParseIso(day[i].substr(0, 25)), kStart + 60 * std::int64_t(i - 1)) << i;
}

TEST(HistorySpans, PlotColumnsFromTheRingAndTheDayFiles) {
    Machine m;
    for (int i = 0; i < 3600; ++i)
        m.Record(
            Tick(kStart + i, 40 + i / 600, 0, i >= 1800 && i < 1900, !(i >= 3000 && i < 3300)));
    const SpanData d = RingSpan(m.history.ring(), kStart, kStart + 3600, 60, &PinVolts);
    ASSERT_EQ(d.columns.size(), 60u);
    EXPECT_DOUBLE_EQ(d.columns[0].stat[0].mean, 40);
    EXPECT_DOUBLE_EQ(d.columns[59].stat[0].max, 45);
    EXPECT_DOUBLE_EQ(d.columns[0].stat[kFirstVolt].mean, 3.2);
    EXPECT_EQ(d.columns[0].limit[1], 70);
    EXPECT_FALSE(d.columns[29].lasting);
    EXPECT_TRUE(d.columns[30].lasting && d.columns[31].lasting && !d.columns[32].lasting);
    EXPECT_TRUE(d.columns[50].gap && d.columns[54].gap && !d.columns[55].gap);
    EXPECT_EQ(d.ColumnAt(kStart + 61), 1);
    EXPECT_EQ(d.ColumnAt(kStart + 3600), -1);

    // A column a second: a tick that came late leaves no gap; a restart's half minute does.
    Ring ticks(100);
    for (int i : {0, 1, 2, 4, 5, 40, 41}) ticks.Push(Tick(kStart + i, 40));
    const SpanData s = RingSpan(ticks, kStart, kStart + 60, 60, &PinVolts);
    EXPECT_FALSE(s.columns[3].gap || s.columns[3].stat[0].present);
    EXPECT_TRUE(s.columns[6].gap && s.columns[39].gap && !s.columns[40].gap);

    // The clock set back ten seconds: those moments show their newer recording, the line
    // breaks where the clock was set, and the file saved has each moment once, in order.
    Ring set(100);
    for (int i = 0; i < 30; ++i) set.Push(Tick(kStart + i, 40));
    for (int i = 20; i < 25; ++i) set.Push(Tick(kStart + i, 60));
    set.Push(Tick(kStart + 29, 70));  // and forward again
    const SpanData b = RingSpan(set, kStart, kStart + 30, 30, &PinVolts);
    EXPECT_DOUBLE_EQ(b.columns[19].stat[0].mean, 40);
    EXPECT_DOUBLE_EQ(b.columns[20].stat[0].mean, 60);
    EXPECT_DOUBLE_EQ(b.columns[24].stat[0].max, 60);
    EXPECT_TRUE(b.columns[25].gap && b.columns[28].gap);
    EXPECT_DOUBLE_EQ(b.columns[29].stat[0].mean, 70);
    for (int c = 0; c < 30; ++c)
        EXPECT_EQ(b.columns[static_cast<std::size_t>(c)].jump, c == 20 || c == 29) << c;
    const std::vector<std::string> once =
        Lines(RingSpanCsv(set, kStart, kStart + 30, 120, &PinVolts, {}));
    ASSERT_EQ(once.size(), 1u + 26);
    EXPECT_EQ(once[21].substr(0, 25), IsoText(kStart + 20, 120));
    EXPECT_EQ(once[21].substr(44, 2), "60");
    EXPECT_EQ(once[26].substr(0, 25), IsoText(kStart + 29, 120));

    // The same hour from its minute rows; a day span reads each file once.
    m.Record(Tick(kStart + 3600, 45));
    DayCache cache;
    const std::int64_t today = LocalDay(kStart, 120);
    const auto& rows = cache.Rows(m.files, m.history.folder(), today - 30, today, today);
    ASSERT_EQ(rows.size(), 60u);
    const SpanData w = MinuteSpan(rows, kStart, kStart + 3600, 60);
    EXPECT_DOUBLE_EQ(w.columns[0].stat[0].mean, 40);
    EXPECT_TRUE(w.columns[30].lasting && !w.columns[32].lasting);
    EXPECT_TRUE(w.columns[50].gap && !w.columns[55].gap);
    EXPECT_DOUBLE_EQ(w.columns[10].stat[kFirstVolt].max, 3.2);

    const std::vector<std::string> saved = Lines(MinuteSpanCsv(rows, kStart + 600, kStart + 720));
    EXPECT_EQ(saved.size(), 3u);
    // One copy of the rows, kept while the window is open and let go when it closes.
    EXPECT_LT(cache.HeldBytes(), rows.size() * sizeof(MinuteRow) * 3 / 2);
    const MinuteRow last_row = rows.back();
    cache.Clear();
    EXPECT_EQ(cache.HeldBytes(), 0u);

    // After a restart the ring starts empty: before its first tick the short spans draw the
    // day file's minutes, marked as averages, each minute over every column it covers; the
    // five minutes the machine was down stay a gap.
    Machine before;
    for (int i = 0; i < 1800; ++i)
        before.Record(Tick(kStart + i, 40 + i / 600, 0, i >= 600 && i < 660));
    before.history.Close();
    Machine after;
    after.files.files = before.files.files;
    const std::int64_t up = kStart + 1800 + 300;
    for (int i = 0; i < 60; ++i) after.Record(Tick(up + i, 55));
    const Ring& fresh = after.history.ring();
    EXPECT_EQ(RingStart(fresh, up - 3540, up + 60), up);
    EXPECT_EQ(RingStart(fresh, up + 10, up + 60), up + 10);
    EXPECT_EQ(RingStart(Ring(5), up, up + 60), up + 60);
    DayCache restart_days;
    const auto& kept =
        restart_days.Rows(after.files, after.history.folder(), today - 1, today, today);
    SpanData hour = RingSpan(fresh, up - 3540, up + 60, 60, &PinVolts);
    FillBeforeRing(hour, kept, up);
    EXPECT_EQ(hour.minutes_until, up);
    for (int c = 0; c < 60; ++c) {
        const Column& col = hour.columns[static_cast<std::size_t>(c)];
        EXPECT_EQ(col.minutes, c >= 24 && c < 54) << c;
        EXPECT_EQ(col.gap, c < 24 || (c >= 54 && c < 59)) << c;
        EXPECT_EQ(col.lasting, c == 34) << c;
    }
    EXPECT_DOUBLE_EQ(hour.columns[24].stat[0].mean, 40);
    EXPECT_DOUBLE_EQ(hour.columns[53].stat[0].mean, 42);
    EXPECT_DOUBLE_EQ(hour.columns[53].stat[kFirstVolt].mean, 3.2);
    EXPECT_DOUBLE_EQ(hour.columns[59].stat[0].mean, 55);
    SpanData ten = RingSpan(fresh, kStart + 1500, kStart + 2100, 600, &PinVolts);
    FillBeforeRing(ten, kept, up);
    for (int c = 0; c < 600; ++c)
        ASSERT_EQ(ten.columns[static_cast<std::size_t>(c)].stat[0].present, c < 300) << c;
    EXPECT_EQ(CrosshairLines(ten, 299, {}, {true}, [](double c) { return c; }).back(),
              "minute average from the day file");

    // Moving the days read keeps the days it still needs and reads what a fresh read gives;
    // a day last read while it was today is read again once it is over.
    DayCache moving;
    for (int d = 0; d < 5; ++d) {
        const std::string day = std::string(kRoot) + "\\history\\" + DayText(today - d) + ".csv";
        m.files.files[day] = MinuteHeader();
        for (int r = 0; r < 3; ++r) {
            MinuteRow row;
            row.time = (today - d) * 86400 + 3600 * (r == 2 ? 1 : 2 + r);  // the last set back
            row.offset_minutes = 0;
            row.samples = 60;
            m.files.files[day] += MinuteRowText(row);
        }
    }
    const auto times = [](const std::vector<MinuteRow>& rs) {
        std::vector<std::int64_t> t;
        for (const MinuteRow& r : rs) t.push_back(r.time);
        return t;
    };
    moving.Rows(m.files, m.history.folder(), today - 2, today - 1, today - 1);
    MinuteRow evening = last_row;
    evening.time = (today - 1) * 86400 + 80000;
    evening.offset_minutes = 0;
    m.files.files[std::string(kRoot) + "\\history\\" + DayText(today - 1) + ".csv"] +=
        MinuteRowText(evening);
    for (const auto& [first, last] : std::vector<std::pair<int, int>>{{4, 1}, {3, 0}, {4, 2}}) {
        DayCache fresh;
        const auto want =
            times(fresh.Rows(m.files, m.history.folder(), today - first, today - last, today));
        EXPECT_EQ(
            times(moving.Rows(m.files, m.history.folder(), today - first, today - last, today)),
            want)
            << first << ".." << last;
        EXPECT_TRUE(std::is_sorted(want.begin(), want.end()));
    }
    EXPECT_EQ(Lines(RingSpanCsv(m.history.ring(), kStart, kStart + 10, 120, &PinVolts, {})).size(),
              11u);
}

TEST(HistoryView, KeysMoveTheSpanAndTheCrosshairReadsEveryValue) {
    ViewState v;
    const std::int64_t now = kStart;
    EXPECT_EQ(v.span(), Span::Hour1);
    v.Scroll(-1, now);
    EXPECT_FALSE(v.following());
    EXPECT_EQ(v.End(now + 99), now - 900);  // a quarter of the hour back, and it stays there
    v.Zoom(1, now);                         // "-": longer, same end
    EXPECT_EQ(v.span(), Span::Hours24);
    EXPECT_EQ(v.End(now), now - 900);
    v.Scroll(1, now);
    EXPECT_TRUE(v.following());  // past now: following again
    for (int i = 0; i < 9; ++i) v.Zoom(1, now);
    EXPECT_EQ(v.span(), Span::Days31);
    for (int i = 0; i < 9; ++i) v.Zoom(-1, now);
    EXPECT_EQ(v.span(), Span::Minutes10);

    // Opening frames the last fault episode in the ring: a month ago scrolled and zoomed out,
    // an episode of 20 minutes five hours ago opens an hour centred on it; two runs of lasting
    // seconds four minutes apart are one episode, ten minutes apart are two.
    Ring day(8 * 3600);
    const std::int64_t t0 = kStart;
    for (int i = 0; i < 8 * 3600; ++i) {
        const bool lasting =
            (i >= 600 && i < 700) || (i >= 3600 && i < 4200) || (i >= 4440 && i < 4800);
        day.Push(Tick(t0 + i, 50, lasting ? 1 : 0, lasting));
    }
    const std::int64_t later = t0 + 8 * 3600;
    ViewState opened;
    for (int i = 0; i < 9; ++i) opened.Zoom(1, later);
    opened.Scroll(-1, later);
    opened.OpenAt(day, later);
    EXPECT_EQ(opened.span(), Span::Hour1);
    EXPECT_FALSE(opened.following());
    EXPECT_EQ(opened.End(later), t0 + 3600 + (1200 + 3600) / 2);
    // An episode still going on, or just over, is seen up to now; none at all opens 10 minutes.
    Ring young(1000);
    for (int i = 0; i < 300; ++i) young.Push(Tick(t0 + i, 50, i >= 200 ? 1 : 0, i >= 200));
    opened.OpenAt(young, t0 + 300);
    EXPECT_EQ(opened.span(), Span::Minutes10);
    EXPECT_TRUE(opened.following());
    Ring calm(1000);
    for (int i = 0; i < 300; ++i) calm.Push(Tick(t0 + i, 50));
    opened.Zoom(1, t0 + 300);
    opened.Scroll(-1, t0 + 300);
    opened.OpenAt(calm, t0 + 300);
    EXPECT_EQ(opened.span(), Span::Minutes10);
    EXPECT_TRUE(opened.following());

    Ring ring(100);
    for (int i = 0; i < 60; ++i) {
        Sample s = Tick(kStart + i, 40 + i % 2, 1, i >= 30);
        s.volt[0] = static_cast<std::uint8_t>(200 + i % 2);
        ring.Push(s);
    }
    const SpanData d = RingSpan(ring, kStart, kStart + 60, 30, &PinVolts);
    std::array<Named, kReadings> names;
    std::array<bool, kReadings> wanted{};
    for (int i = 0; i < kReadings; ++i)
        names[static_cast<std::size_t>(i)] = {"R" + std::to_string(i), "u"};
    wanted[0] = wanted[kFirstFan] = wanted[kFirstVolt] = wanted[kFirstVolt + 1] = true;
    const auto fahrenheit = [](double c) { return c * 9 / 5 + 32; };
    EXPECT_EQ(CrosshairLines(d, 20, names, wanted, +fahrenheit),
              (std::vector<std::string>{"R0 105 u (104..106)", "R3 5000 u",
                                        "R6 3.21 u (3.20..3.22)", "R7 -", "lasting fault"}));
    EXPECT_TRUE(CrosshairLines(d, 30, names, wanted, +fahrenheit).empty());
    const Scale scale = ScaleFor(d, 0, 3, {70}, [](double c) { return c; });
    EXPECT_LE(scale.low, 30);
    EXPECT_GE(scale.high, 70);
    EXPECT_DOUBLE_EQ(scale.step, 10);
    EXPECT_EQ(AxisTime(kStart + 31, 120, Span::Minutes10), "11:45:31");
    EXPECT_EQ(AxisTime(kStart, 120, Span::Days7), "Jun 12 11:45");
}

// The history as the program registers it: after every real tick, the tick's own readings.
TEST(HistoryListener, KeepsWhatTheTickReadAndNamesTheIncidentForTheEvents) {
    board::Board board;
    testing::Rig rig(board);
    Form1& f = rig.form;
    for (int n = 0; n < 3; ++n) {
        f.window.LedPic[n].tag = f.window.FanLed[n].tag = std::to_string(n);
        f.settings.g_FanCtrl[n].Mode = 1;
        f.settings.g_FanCtrl[n].TmpAlarm = 127;
    }
    f.settings.g_Vin[1].DefaultTemp = 500;
    f.settings.factors.P5VRa = 68;
    f.settings.factors.P5VRb = 100;
    f.window.TempLabel[8].visible = false;
    f.window.KelvaneLabel[0].caption = "System";
    f.window.KelvaneLabel[1].caption = "CPU";
    f.window.KelvaneLabel[2].caption = "Panel";
    f.window.KelvaneLabel[3].caption = "VCORE";
    f.window.KelvaneLabel[4].caption = "+5V, \"standby\"";
    f.settings.g_HistoryFolder = "E:\\hist";
    InitFanDivisors(f);
    board.set_reg(0x21, 190);
    History history(
        rig.files, rig.clock, [&f](int v, double raw) { return VoltsFromRaw(f.settings, v, raw); },
        kRoot);
    f.tick_listeners = {&history};
    for (int i = 0; i < 8; ++i) Form1_Timer1_Timer(f);
    const Sample& s = history.ring().newest();
    EXPECT_EQ(s.temp[1], f.monitor.temps[1]);
    EXPECT_EQ(s.fan[2], f.monitor.fan_speeds[2]);
    EXPECT_EQ(s.volt[1], 190);
    EXPECT_TRUE(s.shown(1) && !s.shown(8));
    EXPECT_EQ(s.limit[1], TemperatureLimit(f, 1));
    EXPECT_DOUBLE_EQ(history.volts()(1, 190), f.monitor.volts[1]);
    EXPECT_TRUE(s.reachable());

    // A monitor withheld at a wrong Address: a gap in the rows and the plot, but no outage.
    f.chip.WithholdMonitor(true);
    rig.clock.unix_seconds += 10;
    for (int i = 0; i < 3; ++i) Form1_Timer1_Timer(f);
    const Sample& w = history.ring().newest();
    EXPECT_TRUE(w.reachable() && !w.has_reading());
    EXPECT_EQ(history.incident_path(), "");
    EXPECT_EQ(SampleRow(w, 120, history.volts()),
              "2026-06-12T11:45:41+02:00,0,Normal...,0,0,1,,,,,,,,,,,,,,,,,\r\n");
    const SpanData d = RingSpan(history.ring(), w.time - 10, w.time + 1, 11, history.volts());
    EXPECT_TRUE(!d.columns[0].gap && d.columns[10].gap && !d.columns[10].stat[0].present);
    f.chip.WithholdMonitor(false);

    board.set_failing(true);
    Form1_Timer1_Timer(f);
    EXPECT_FALSE(history.ring().newest().reachable());
    EXPECT_EQ(history.incident_path(), "E:\\hist\\incidents\\20260612-114541-unreachable.csv");
    // Its columns are named by the main window's headings and input captions, with units.
    const std::string header = Lines(rig.files.files.at(history.incident_path()))[0];
    EXPECT_EQ(
        header,
        "time,status,status_text,lasting,critical,reachable,System (C),CPU (C),Panel (C),"
        "System fan (rpm),CPU fan (rpm),Panel fan (rpm),VCORE (V),\"+5V, \"\"standby\"\" (V)\","
        "VIN2 (V),VIN3 (V),VIN4 (V),VIN5 (V),VIN6 (V),VIN7 (V),VIN8 (V),System limit (C),"
        "CPU limit (C)");
}

}  // namespace
}  // namespace kelvane::history
