#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/ini_text.h"
#include "base/runtime_error.h"
#include "win32/services.h"

namespace kelvane::win32 {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PrivateProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "kelvane_profile_test.ini";
        std::ofstream out(path_, std::ios::binary);
        out << "[Option]\r\nAddress=70000\r\nbeepwaittimes = 12abc\r\nUserScroll=-5\r\n"
               "DisplayScale=abc\r\nHex=0x2A5\r\nUpperHex=0X2A5\r\nOctal=0o17\r\n"
               "Binary=0b101\r\nPlus=+7\r\nWrapped=4294967297\r\nEmpty=\r\nDigits30="
            << std::string(29, '0')
            << "9\r\nstrAbout=  padded text  \r\nLong=" << std::string(1500, 'x')
            << "\r\n[Label Option 12]\r\nCaption=About it\r\n";
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
    // What the function really does beyond decimal digits; the in-memory double follows it.
    IniText twin(ReadAll(path_));
    for (const char* key :
         {"Address", "BeepWaitTimes", "UserScroll", "DisplayScale", "Hex", "UpperHex", "Octal",
          "Binary", "Plus", "Wrapped", "Empty", "Digits30", "Missing"})
        EXPECT_EQ(p.GetInt("Option", key, 42), twin.GetInt("Option", key, 42)) << key;
    EXPECT_EQ(p.GetInt("Option", "Hex", 0), 0x2A5);
    EXPECT_EQ(p.GetInt("Option", "UpperHex", 0), 0);
    EXPECT_EQ(p.GetInt("Option", "Octal", 0), 15);
    EXPECT_EQ(p.GetInt("Option", "Binary", 0), 5);
    EXPECT_EQ(p.GetInt("Option", "Plus", 0), 7);
    EXPECT_EQ(p.GetInt("Option", "Wrapped", 0), 1);
    EXPECT_EQ(p.GetInt("Option", "Empty", 42), 42);
    EXPECT_EQ(p.GetInt("Option", "Digits30", 42), 0);  // only 29 characters are read
}

TEST_F(PrivateProfileTest, StringRules) {
    PrivateProfile p(path_);
    EXPECT_EQ(p.GetString("Option", "strAbout", "d"), "padded text");
    EXPECT_EQ(p.GetString("label option 12", "caption", "d"), "About it");
    EXPECT_EQ(p.GetString("Option", "Missing", "default"), "default");
    EXPECT_EQ(p.GetString("Option", "Long", "").size(), 1023u);
}

// However Notepad saved the file, each "∞" of a marked text arrives as the UTF-8 marker.
TEST_F(PrivateProfileTest, InfinityArrivesAsTheMarkerInEveryEncoding) {
    const std::string marker = "\xE2\x88\x9E";
    const std::string utf8 = "[Option]\r\nstrAbout=Till" + marker + "Ver 5" + marker + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("[Option]\r\nstrAbout=Till\x01Ver 5\x01\r\n")) {
        utf16 += c == '\x01' ? '\x1E' : c;
        utf16 += c == '\x01' ? '\x22' : '\0';
    }
    for (const std::string& content : {utf8, "\xEF\xBB\xBF" + utf8, utf16}) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
        PrivateProfile p(path_);
        EXPECT_EQ(p.GetMarkedText("Option", "strAbout", "d"), "Till" + marker + "Ver 5" + marker)
            << content.substr(0, 3);
        EXPECT_EQ(p.GetMarkedText("Option", "Missing", "a" + marker), "a" + marker);
    }
}

TEST_F(PrivateProfileTest, WrittenValuesReadBack) {
    PrivateProfile p(path_);
    p.WriteString("Fan Ctrl Option 0", "S0", "35");
    EXPECT_EQ(p.GetInt("Fan Ctrl Option 0", "S0", 0), 35);
    EXPECT_EQ(p.GetInt("Option", "Address", 661), 70000);  // the rest of the file survives
}

// A full disk may take part of an append: the file must read as it did before it.
TEST(FilesAppend, AFailedWriteLeavesTheFileAsItWasAndCreatesNone) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string kept = std::string(dir) + "kelvane_append_kept.csv";
    const std::string fresh = std::string(dir) + "kelvane_append_fresh.csv";
    DeleteFileA(kept.c_str());
    DeleteFileA(fresh.c_str());
    Files files;
    files.AppendFile(kept, "time,fan\r\n");
    files.AppendFile(kept, "1,5000\r\n");
    ASSERT_EQ(ReadAll(kept), "time,fan\r\n1,5000\r\n");
    const std::string row = "2,5000,4500,3\r\n";
    // Half the row goes to the disk; then the write fails, or reports the short count.
    for (const bool fails : {true, false}) {
        const WriteChunk half = [fails](HANDLE file, const char* bytes, DWORD size,
                                        DWORD* written) {
            WriteFile(file, bytes, size / 2, written, nullptr);
            return !fails;
        };
        EXPECT_THROW(AppendWhole(kept, row, half), RuntimeError) << fails;
        EXPECT_EQ(ReadAll(kept), "time,fan\r\n1,5000\r\n") << fails;
        EXPECT_THROW(AppendWhole(fresh, row, half), RuntimeError) << fails;
        EXPECT_EQ(GetFileAttributesA(fresh.c_str()), INVALID_FILE_ATTRIBUTES) << fails;
    }
    // The next write that can, writes whole rows after the old ones.
    files.AppendFile(kept, row);
    EXPECT_EQ(ReadAll(kept), "time,fan\r\n1,5000\r\n" + row);
    DeleteFileA(kept.c_str());
}

}  // namespace
}  // namespace kelvane::win32
