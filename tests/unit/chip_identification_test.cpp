#include "chip/chip_identification.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

struct Outcome {
    int id, revision;
    i16 newer, special;
};

class ChipIdentification : public ::testing::TestWithParam<Outcome> {};

TEST_P(ChipIdentification, LayoutFollowsIdAndRevision) {
    const Outcome o = GetParam();
    board::Board board("[Chip]\nId=" + std::to_string(o.id) +
                       "\nRevision=" + std::to_string(o.revision) + "\n");
    testing::Rig rig(board);
    IdentifyChip(rig.form);
    EXPECT_EQ(rig.form.KelvaneFanFlag, o.newer);
    EXPECT_EQ(rig.form.KelvaneFanSpecialFlag, o.special);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ChipIdentification,
                         ::testing::Values(Outcome{0x12, 0, 0, 0}, Outcome{0x12, 5, 0, 0},
                                           Outcome{0x12, 6, -1, 0}, Outcome{0x12, 7, -1, 0},
                                           Outcome{0x12, 8, -1, -1}, Outcome{0x12, 200, -1, -1},
                                           Outcome{0x05, 0, 0, -1}, Outcome{0x05, 3, 0, -1},
                                           Outcome{0x05, 4, -1, -1}, Outcome{0x33, 0, -1, -1},
                                           Outcome{0xFF, 0xFF, -1, -1}));

TEST(ChipIdentificationAccess, KeyThenEachTestReadsItsRegisterAgain) {
    board::Board board("[Chip]\nId=0x12\nRevision=4\n");
    testing::Rig rig(board);
    IdentifyChip(rig.form);
    std::string seen;
    for (const auto& a : board.accesses()) {
        seen += a.kind == board::Board::Access::Kind::Outb ? "out " + std::to_string(a.value) + ";"
                                                           : "read " + std::to_string(a.reg) + ";";
    }
    // Key bytes, then 0x21, 0x22 twice (revision below 8, then below 6), then 0x21 again.
    EXPECT_EQ(seen, "out 135;out 1;out 85;out 85;read 33;read 34;read 34;read 33;");
}

TEST(ChipIdentificationAccess, NoChipAtAllGivesTheNewerLayout) {
    board::Board board("[Faults]\nOpenBus=0xFF\n");
    testing::Rig rig(board);
    IdentifyChip(rig.form);
    EXPECT_EQ(rig.form.KelvaneFanFlag, kTrue);
    EXPECT_EQ(rig.form.KelvaneFanSpecialFlag, kTrue);
}

}  // namespace
}  // namespace kelvane
