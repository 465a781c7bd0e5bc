#include "base/ini_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

// Name matching, first-wins and write rules, also once the text has grown past what a first
// table holds and after a copy (the Wine tier compares the values with the real functions).
TEST(IniTextTest, NamesMatchWithoutCaseAndTheFirstKeyWins) {
    std::string text = "[Option]\nAddress=0x2A5\nUserScroll=1\n[Label Option 1]\nCaption=A\n";
    for (int i = 0; i < 200; ++i)
        text +=
            "[S" + std::to_string(i) + "]\nK" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    text += "[OPTION]\naddress=7\nBeep=3\n";
    IniText ini(text);
    EXPECT_EQ(ini.GetInt("oPTION", "ADDRESS", 0), 0x2A5);
    EXPECT_EQ(ini.GetInt("option", "beep", 0), 3);  // the repeated header adds to the first
    EXPECT_EQ(ini.Keys("Option"), (std::vector<std::string>{"Address", "UserScroll", "Beep"}));
    EXPECT_EQ(ini.GetInt("s150", "k150", -1), 150);
    EXPECT_EQ(ini.GetInt("S150", "K151", -1), -1);
    EXPECT_EQ(ini.GetString("Label Option 1", "Caption", "-"), "A");
    EXPECT_EQ(ini.GetString("Label Option 10", "Caption", "-"), "-");
    EXPECT_FALSE(ini.Has("Label Option", "Caption"));

    IniText copy = ini;
    EXPECT_TRUE(copy.WriteString("option", "userscroll", "0"));
    EXPECT_TRUE(copy.WriteString("OPTION", "New", "5"));
    EXPECT_TRUE(copy.WriteString("Fresh", "Key", "x"));
    EXPECT_TRUE(copy.WriteString("fresh", "KEY", "y"));
    EXPECT_EQ(copy.Keys("Option"),
              (std::vector<std::string>{"Address", "UserScroll", "Beep", "New"}));
    EXPECT_EQ(copy.GetInt("Option", "UserScroll", 9), 0);
    EXPECT_EQ(copy.GetString("FRESH", "key", "-"), "y");
    EXPECT_EQ(copy.Keys("Fresh"), std::vector<std::string>{"Key"});
    EXPECT_EQ(ini.GetInt("Option", "UserScroll", 9), 1);  // the original keeps its values
    EXPECT_FALSE(ini.Has("Fresh", "Key"));
    EXPECT_EQ(IniText(copy.Text()).Text(), copy.Text());
}

}  // namespace
}  // namespace kelvane
