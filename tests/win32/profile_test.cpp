#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "win32/services.h"

namespace kelvane::win32 {
namespace {

class PrivateProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "kelvane_profile_test.ini";
        std::ofstream out(path_, std::ios::binary);
        out << "[Option]\r\nAddress=70000\r\nbeepwaittimes = 12abc\r\nUserScroll=-5\r\n"
               "DisplayScale=abc\r\nstrAbout=  padded text  \r\nLong="
            << std::string(1500, 'x') << "\r\n[Label Option 12]\r\nCaption=About it\r\n";
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }
    std::string path_;
};

// The settings loader relies on these rules of the real functions.
TEST_F(PrivateProfileTest, IntegerRules) {
    PrivateProfile p(path_);
    EXPECT_EQ(p.GetInt("Option", "Address", 661), 70000);
    EXPECT_EQ(p.GetInt("OPTION", "BeepWaitTimes", 3), 12);  // names ignore case, leading digits
    EXPECT_EQ(p.GetInt("Option", "UserScroll", 1), -5);
    EXPECT_EQ(p.GetInt("Option", "DisplayScale", 7), 0);  // no digits reads 0
    EXPECT_EQ(p.GetInt("Option", "Missing", 42), 42);
    EXPECT_EQ(p.GetInt("No Such Section", "Address", 661), 661);
}

TEST_F(PrivateProfileTest, StringRules) {
    PrivateProfile p(path_);
    EXPECT_EQ(p.GetString("Option", "strAbout", "d"), "padded text");
    EXPECT_EQ(p.GetString("label option 12", "caption", "d"), "About it");
    EXPECT_EQ(p.GetString("Option", "Missing", "default"), "default");
    EXPECT_EQ(p.GetString("Option", "Long", "").size(), 1023u);
}

TEST_F(PrivateProfileTest, WrittenValuesReadBack) {
    PrivateProfile p(path_);
    p.WriteString("Fan Ctrl Option 0", "S0", "35");
    EXPECT_EQ(p.GetInt("Fan Ctrl Option 0", "S0", 0), 35);
    EXPECT_EQ(p.GetInt("Option", "Address", 661), 70000);  // the rest of the file survives
}

}  // namespace
}  // namespace kelvane::win32
