// Every board description and translation expression the README shows, run exactly as a
// technician would copy it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "board/board.h"
#include "board/board_description.h"
#include "board/thermal_model.h"
#include "chip/expression.h"
#include "readme_text.h"

namespace kelvane {
namespace {

struct Block {
    std::string language;
    std::string text;
};

std::vector<Block> CodeBlocks(const std::string& markdown) {
    std::vector<Block> blocks;
    std::istringstream in(markdown);
    std::string line;
    Block* open = nullptr;
    while (std::getline(in, line)) {
        const size_t fence = line.find("```");
        if (fence != std::string::npos && line.find_first_not_of(' ') == fence) {
            if (open) {
                open = nullptr;
            } else {
                blocks.push_back({line.substr(fence + 3), {}});
                open = &blocks.back();
            }
        } else if (open) {
            open->text += line.substr(std::min(line.find_first_not_of(' '), line.size())) + "\n";
        }
    }
    return blocks;
}

bool IsBoardDescription(const std::string& text) {
    for (const char* section : {"[Chip]", "[Registers]", "[Hold]", "[Thermal]", "[Faults]"})
        if (text.find(section) != std::string::npos) return true;
    return false;
}

TEST(ReadmeExamples, BoardDescriptionsDescribeWhatTheirCommentsSay) {
    int described = 0;
    for (const Block& b : CodeBlocks(kReadmeText)) {
        if (!IsBoardDescription(b.text)) continue;
        ++described;
        const board::BoardDescription d = board::ParseBoardDescription(b.text);
        EXPECT_TRUE(d.problems.empty()) << d.problems.front() << "\n" << b.text;
        if (described > 1) continue;
        // The first one: a newer chip whose CPU reads 80 C and whose CPU fan has stalled.
        board::Board board(b.text);
        EXPECT_EQ(board.chip_id(), 0x12);
        EXPECT_EQ(board.revision(), 8);
        EXPECT_EQ(board.address(), 0x295);
        EXPECT_EQ(board.ReadReg(0x295, 0x2A), 0x50);
        board.WriteReg(0x295, 0x0E, 0x40);
        EXPECT_EQ(board.ReadReg(0x295, 0x0E), 0xFF);
        EXPECT_FALSE(board.thermal_enabled());
    }
    EXPECT_GT(described, 0);
}

// The CPU's rise over the system (channel 1 minus 0) once both fans have run at `pwm` for
// ten minutes on a steady machine, and the CPU fan's speed there.
struct Settled {
    int rise;
    double cpu_rpm;
};
Settled Settle(board::ThermalParams p, int pwm) {
    p.wave = 0;
    board::ThermalModel model;
    model.Configure(p);
    board::RegisterFile regs{};
    regs[0x15] = regs[0x16] = static_cast<std::uint8_t>(pwm);  // software mode
    model.Advance(regs, true, 0);
    model.Advance(regs, true, 600000);
    return {static_cast<std::int8_t>(regs[0x2A]) - static_cast<std::int8_t>(regs[0x29]),
            model.FanRpm(1, pwm)};
}

TEST(ReadmeExamples, TheWornFanTurnsSlowerAtEveryStepAndLessCoolingRunsTheCpuHotter) {
    const std::vector<Block> blocks = CodeBlocks(kReadmeText);
    const auto worn = std::find_if(blocks.begin(), blocks.end(), [](const Block& b) {
        return b.text.find("MaxRpm1=") != std::string::npos;
    });
    ASSERT_NE(worn, blocks.end());
    const board::ThermalParams p = board::ParseBoardDescription(worn->text).thermal;
    board::ThermalParams fresh = p;
    fresh.max_rpm[1] = 5400;
    board::ThermalParams clogged = fresh;
    clogged.cooling = 0.4;
    for (const int pwm : {4, 20, 127}) {
        const Settled w = Settle(p, pwm), f = Settle(fresh, pwm), c = Settle(clogged, pwm);
        EXPECT_NEAR(w.cpu_rpm / f.cpu_rpm, 0.7, 0.01) << pwm;
        // Kelvane reads a count of 255 at divisor 2 as a stopped fan.
        EXPECT_LT(1350000 / (w.cpu_rpm * 2), 255) << pwm;
        EXPECT_GT(c.rise, f.rise) << pwm;
    }
    // Below StallPwm a fan stands whatever its top speed; the fan-fault cases rely on it.
    EXPECT_EQ(Settle(p, 0).cpu_rpm, 0);
    board::ThermalParams stalling = p;
    stalling.stall_pwm = 10;
    EXPECT_EQ(Settle(stalling, 4).cpu_rpm, 0);
}

TEST(ReadmeExamples, ExpressionsDoWhatTheTextSays) {
    // Raw reading -> value, per expression as the README explains it.
    const std::map<std::string, std::vector<std::pair<int, int>>> expected = {
        {"?T$100,X=T-100", {{150, 50}, {100, 0}, {99, 99}}},
        {",X=T*9/5+32", {{0, 32}, {100, 212}, {37, 99}}},
        {"?T>50AT<80,X=T+5", {{50, 50}, {51, 56}, {79, 84}, {80, 80}}},
        {"?T<10OT>240,X=0", {{9, 0}, {241, 0}, {10, 10}, {240, 240}}},
        {",X=T-2-3", {{50, 45}}},
    };
    int shown = 0;
    for (const Block& b : CodeBlocks(kReadmeText)) {
        std::istringstream lines(b.text);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("Modulate=", 0) != 0) continue;
            ++shown;
            IniText ini("[Default Fan Ctrl 0]\n" + line + "\n");
            const std::string expression = ini.GetString("Default Fan Ctrl 0", "Modulate", "");
            const auto it = expected.find(expression);
            ASSERT_NE(it, expected.end()) << "no expectation for the README's line: " << line;
            for (const auto& [raw, value] : it->second)
                EXPECT_EQ(EvaluateLine(expression, static_cast<i16>(raw)), value)
                    << expression << " at " << raw;
        }
    }
    EXPECT_EQ(shown, static_cast<int>(expected.size()));
}

TEST(ReadmeExamples, SettingsExamplesCarryNoInlineComments) {
    // The profile functions keep a comment after "=" as part of the value.
    int examples = 0;
    for (const Block& b : CodeBlocks(kReadmeText)) {
        if (b.language != "ini" || IsBoardDescription(b.text)) continue;
        ++examples;
        std::istringstream lines(b.text);
        std::string line;
        while (std::getline(lines, line)) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos || line[0] == ';') continue;
            EXPECT_EQ(line.find(';', eq), std::string::npos) << line;
        }
    }
    EXPECT_GT(examples, 0);
}

}  // namespace
}  // namespace kelvane
