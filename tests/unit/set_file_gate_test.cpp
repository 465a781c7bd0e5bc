#include "app/set_file_gate.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

constexpr const char* kRoot = "D:\\Till";
const std::string kTool = std::string(kRoot) + "\\Vorlind\\Vorlind Fan control Tool\\";
const std::string kQuick = kTool + "quick.exe";

struct Gate {
    Gate() : rig(board) { rig.form.g_ProgramRoot = kRoot; }
    void AutoSet(const std::string& text) {
        rig.files.files[rig.form.ProgramFile("auto.set")] = text;
    }
    void SetFile(const std::string& name, const std::string& text) {
        rig.files.files[kTool + name] = text;
    }
    bool Passes() { return SetFileGatePasses(rig.form); }
    const std::vector<std::string>& started() const { return rig.processes.started; }
    board::Board board;
    testing::Rig rig;
};

TEST(SetFileGate, NoOrEmptyAutoSetPasses) {
    Gate none;
    EXPECT_TRUE(none.Passes());
    EXPECT_TRUE(none.started().empty());
    Gate empty;
    empty.AutoSet("");
    EXPECT_TRUE(empty.Passes());
    EXPECT_TRUE(empty.started().empty());
}

TEST(SetFileGate, NamedSetFileDecidesByItsFirstCharacter) {
    Gate ready;
    ready.AutoSet("store12.set\r\n");
    ready.SetFile("store12.set", "1 configured");
    EXPECT_TRUE(ready.Passes());
    EXPECT_TRUE(ready.started().empty());

    Gate blank;
    blank.AutoSet("store12.set");
    blank.SetFile("store12.set", "");
    EXPECT_TRUE(blank.Passes());

    Gate not_set_up;
    not_set_up.AutoSet("store12.set\r\n");
    not_set_up.SetFile("store12.set", "0");
    EXPECT_FALSE(not_set_up.Passes());
    EXPECT_EQ(not_set_up.started(), std::vector<std::string>{kQuick});
}

TEST(SetFileGate, MissingSetFileStartsQuickEvenIfItCannotRun) {
    Gate g;
    g.AutoSet("store12.set");
    g.rig.processes.can_start = false;
    EXPECT_FALSE(g.Passes());
    EXPECT_EQ(g.started(), std::vector<std::string>{kQuick});
}

TEST(SetFileGate, NameRules) {
    // No dot: the first three characters are the base name.
    Gate short_name;
    short_name.AutoSet("abcdef");
    short_name.SetFile("abc.set", "1");
    EXPECT_TRUE(short_name.Passes());

    // Only the first 20 characters count: the dot at 21 is not seen.
    Gate long_name;
    long_name.AutoSet("abcdefghijklmnopqrst.set");
    long_name.SetFile("abc.set", "1");
    EXPECT_TRUE(long_name.Passes());

    // The base ends at the first dot, whatever the last one cut off.
    Gate dots;
    dots.AutoSet("my.fan.set0000");
    dots.SetFile("my.fan.set", "1");
    EXPECT_FALSE(dots.Passes());
    Gate dots_found;
    dots_found.AutoSet("my.fan.set0000");
    dots_found.SetFile("my.set", "1");
    EXPECT_TRUE(dots_found.Passes());
}

TEST(SetFileGate, NamesCannotLeaveTheToolFolder) {
    for (const char* named : {"sub\\x.set", "..\\..\\x.set", "C:x.set", "a/b.set", ".set"}) {
        Gate g;
        g.AutoSet(named);
        g.SetFile("sub\\x.set", "1");
        g.SetFile("C:x.set", "1");
        g.SetFile("a/b.set", "1");
        g.rig.files.files[std::string(kRoot) + "\\Vorlind\\x.set"] = "1";
        EXPECT_FALSE(g.Passes()) << named;
        EXPECT_EQ(g.started(), std::vector<std::string>{kQuick}) << named;
    }
}

TEST(FindSetFile, GivesThePathAndItsFilePart) {
    Gate g;
    g.SetFile("store12.set", "1");
    std::string found = "stale", part = "stale";
    EXPECT_TRUE(FindSetFile(g.rig.form, kTool, "store12", found, part));
    EXPECT_EQ(found, kTool + "store12.set");
    EXPECT_EQ(part, "store12.set");

    g.SetFile("a\\b.set", "1");
    EXPECT_FALSE(FindSetFile(g.rig.form, kTool, "a\\b", found, part));
    EXPECT_EQ(found, "");
    EXPECT_EQ(part, "");
    EXPECT_FALSE(FindSetFile(g.rig.form, kTool, "missing", found, part));
}

}  // namespace
}  // namespace kelvane
