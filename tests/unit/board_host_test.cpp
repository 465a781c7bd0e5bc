#include "board/board_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/tone_wav.h"

namespace kelvane::board {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("kelvane_board_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(Read(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct HostRig {
    TempDir dir;
    long long now = 0;
    std::vector<std::string> problems;
    std::unique_ptr<BoardHost> host;
    void Start(bool with_wav = false) {
        HostFiles files{dir / "board.ini", dir / "trace.txt", dir / "speaker.txt",
                        with_wav ? dir / "tune.wav" : std::string()};
        host = std::make_unique<BoardHost>(
            files, 36, [this] { return now; },
            [this](const std::string& p) { problems.push_back(p); });
    }
};

TEST(BoardHost, WithoutADescriptionTheDemoBoardRuns) {
    HostRig rig;
    rig.Start();
    EXPECT_TRUE(rig.host->board().thermal_enabled());
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x0B), 0x09);
}

TEST(BoardHost, DescriptionIsReadAtStartAndAgainWhenItChanges) {
    HostRig rig;
    Write(rig.dir / "board.ini", "[Registers]\n29=0x33\n");
    rig.Start();
    EXPECT_FALSE(rig.host->board().thermal_enabled());
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x29), 0x33);

    Write(rig.dir / "board.ini", "[Registers]\n29=0x44\n[Hold]\n2A=99\n");
    rig.now += BoardHost::kPollMs - 1;
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x29), 0x33) << "not looked at yet";
    rig.now += 1;
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x29), 0x44);
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x2A), 99);

    rig.host->WriteReg(0x295, 0x29, 0x10);
    rig.now += 1000;
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x29), 0x10) << "an unchanged file is not applied again";

    fs::remove(rig.dir / "board.ini");
    rig.now += 1000;
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x2A), 99) << "a vanished file leaves the board alone";
}

TEST(BoardHost, CrashAtCallCountsFromTheLoadThatNamedItAndFiresOnce) {
    HostRig rig;
    Write(rig.dir / "board.ini", "[Registers]\n29=0x33\n");
    rig.Start();
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(rig.host->CrashDue(0x295));
    // Added while running, with the chip put back at a power-on value through [Registers].
    rig.host->WriteReg(0x295, 0x60, 0x41);
    Write(rig.dir / "board.ini", "[Registers]\n29=0x33\n60=0x1E\n[Faults]\nCrashAtCall=3\n");
    rig.now += BoardHost::kPollMs;
    EXPECT_FALSE(rig.host->CrashDue(0x295));
    EXPECT_EQ(rig.host->ReadReg(0x295, 0x60), 0x1E);  // this call loaded the description
    EXPECT_FALSE(rig.host->CrashDue(0x295));
    EXPECT_FALSE(rig.host->CrashDue(0x295));
    EXPECT_TRUE(rig.host->CrashDue(0x295));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(rig.host->CrashDue(0x295)) << "later calls work";

    // By port: the first call there after the load, once.
    Write(rig.dir / "board.ini", "[Registers]\n29=0x33\n[Faults]\nCrashAtPort=0x42\n");
    rig.now += BoardHost::kPollMs;
    rig.host->Inb(0x61);
    EXPECT_FALSE(rig.host->CrashDue(0x61));
    EXPECT_TRUE(rig.host->CrashDue(0x42));
    EXPECT_FALSE(rig.host->CrashDue(0x42));
}

TEST(BoardHost, DescriptionThatAppearsLaterReplacesTheDemo) {
    HostRig rig;
    rig.Start();
    Write(rig.dir / "board.ini", "[Chip]\nId=0x05\n");
    rig.now += 500;
    rig.host->Outb(0x2E, 0x87);
    EXPECT_FALSE(rig.host->board().thermal_enabled());
    EXPECT_EQ(rig.host->board().chip_id(), 0x05);
}

TEST(BoardHost, ProblemsAreReportedWithTheFileName) {
    HostRig rig;
    Write(rig.dir / "board.ini", "[Registers]\nxx=1\n");
    rig.Start();
    ASSERT_EQ(rig.problems.size(), 1u);
    EXPECT_NE(rig.problems[0].find("board.ini"), std::string::npos);
    EXPECT_NE(rig.problems[0].find("xx"), std::string::npos);
}

TEST(BoardHost, EveryCallAppendsOneTraceLine) {
    HostRig rig;
    Write(rig.dir / "board.ini", "");
    rig.Start();
    rig.now = 12;
    rig.host->Inb(0x61);
    rig.now = 40;
    rig.host->Outb(0x2E, 0x87);
    rig.host->ReadReg(0x295, 0x29);
    rig.host->WriteReg(0x295, 0x15, 0x80);
    EXPECT_EQ(Lines(rig.dir / "trace.txt"),
              (std::vector<std::string>{"12 pid=36 Inb 0x0061 = 0x00", "40 pid=36 Outb 0x002e 0x87",
                                        "40 pid=36 ReadReg 0x0295 0x29 = 0x26",
                                        "40 pid=36 WriteReg 0x0295 0x15 0x80"}));
    fs::remove(rig.dir / "trace.txt");  // a test may start a fresh trace at any time
    rig.host->Inb(0x80);
    EXPECT_EQ(Lines(rig.dir / "trace.txt"),
              (std::vector<std::string>{"40 pid=36 Inb 0x0080 = 0xff"}));
    EXPECT_TRUE(rig.host->board().accesses().empty()) << "nothing piles up in memory";
}

TEST(BoardHost, EachFileFromTheEnvironmentElseTheRegistry) {
    const HostFiles none;
    const HostFiles registry{"C:\\reg\\board.ini", "C:\\reg\\trace.txt", "C:\\reg\\speaker.txt",
                             "C:\\reg\\tune.wav"};
    const std::string beside = "C:\\Program Files\\Kelvane\\board.ini";
    // A service sees no environment: the registry names everything.
    HostFiles chosen = ChooseHostFiles(none, registry, beside);
    EXPECT_EQ(chosen.description, registry.description);
    EXPECT_EQ(chosen.trace, registry.trace);
    EXPECT_EQ(chosen.speaker, registry.speaker);
    EXPECT_EQ(chosen.wav, registry.wav);
    // A test's own variables win, one file at a time.
    const HostFiles environment{"Z:\\t\\board.ini", "", "Z:\\t\\speaker.txt", ""};
    chosen = ChooseHostFiles(environment, registry, beside);
    EXPECT_EQ(chosen.description, environment.description);
    EXPECT_EQ(chosen.trace, registry.trace);
    EXPECT_EQ(chosen.speaker, environment.speaker);
    EXPECT_EQ(chosen.wav, registry.wav);
    // Named nowhere: the description beside the library, and no records.
    chosen = ChooseHostFiles(none, none, beside);
    EXPECT_EQ(chosen.description, beside);
    EXPECT_EQ(chosen.trace, "");
    EXPECT_EQ(chosen.speaker, "");
    EXPECT_EQ(chosen.wav, "");
}

void PlayNote(HostRig& rig, int divisor, long long ms) {
    rig.host->Outb(0x61, rig.host->Inb(0x61) | 3);
    rig.host->Outb(0x43, 0xB6);
    rig.host->Outb(0x42, static_cast<std::uint8_t>(divisor & 0xFF));
    rig.host->Outb(0x42, static_cast<std::uint8_t>(divisor >> 8));
    rig.now += ms;
    rig.host->Outb(0x61, rig.host->Inb(0x61) & 0xFC);
}

TEST(BoardHost, TonesGoToTheSpeakerRecordAndTheWav) {
    HostRig rig;
    Write(rig.dir / "board.ini", "");
    rig.Start(true);
    PlayNote(rig, 1329, 150);
    rig.now += 500;
    PlayNote(rig, 2983, 300);
    EXPECT_EQ(Lines(rig.dir / "speaker.txt"),
              (std::vector<std::string>{"Tone divisor=1329 frequency=897.8 duration=150",
                                        "Tone divisor=2983 frequency=400.0 duration=300"}));
    // 150 ms, 500 ms of silence, 300 ms at 8 samples per millisecond.
    EXPECT_EQ(fs::file_size(rig.dir / "tune.wav"), 44u + 8u * (150 + 500 + 300));
}

TEST(ToneWav, SquareWaveAlternatesAtTheFrequency) {
    const std::vector<std::uint8_t> w = SquareWave(1000, 10);
    ASSERT_EQ(w.size(), 80u);
    // 1000 Hz at 8 kHz: four samples up, four down.
    for (size_t i = 0; i < w.size(); ++i) EXPECT_EQ(w[i] > 128, (i % 8) < 4) << i;
    const std::vector<std::uint8_t> quiet = Silence(2);
    EXPECT_EQ(quiet, std::vector<std::uint8_t>(16, 128));
    EXPECT_EQ(SquareWave(400, 3600000).size(), 80000u) << "one tone is cut at ten seconds";
}

TEST(ToneWav, FileGrowsAndKeepsAValidHeader) {
    TempDir dir;
    const std::string path = dir / "t.wav";
    ASSERT_TRUE(AppendWav(path, std::vector<std::uint8_t>(100, 128)));
    ASSERT_TRUE(AppendWav(path, std::vector<std::uint8_t>(60, 200)));
    const std::string bytes = Read(path);
    ASSERT_EQ(bytes.size(), 44u + 160u);
    const std::vector<std::uint8_t> header = WavHeader(160);
    EXPECT_EQ(bytes.substr(0, 44), std::string(header.begin(), header.end()));
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[44 + 99]), 128);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[44 + 100]), 200);
}

TEST(ToneWav, ForeignFileIsStartedAfresh) {
    TempDir dir;
    const std::string path = dir / "t.wav";
    Write(path, "not a wave file at all, but long enough to hold a header.....");
    ASSERT_TRUE(AppendWav(path, std::vector<std::uint8_t>(10, 128)));
    EXPECT_EQ(fs::file_size(path), 54u);
    EXPECT_EQ(Read(path).substr(0, 4), "RIFF");
    EXPECT_FALSE(AppendWav((dir.path / "missing" / "t.wav").string(), {1, 2, 3}));
}

}  // namespace
}  // namespace kelvane::board
