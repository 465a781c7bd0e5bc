#include "chip/chip_identification.h"

namespace kelvane {

i16 CheckChipRevision(Form1& f) {
    for (int key : {0x87, 0x01, 0x55, 0x55}) f.chip.Outb(kConfigPort, key);

    i16 result = kTrue;
    f.KelvaneFanSpecialFlag = kTrue;
    // Each test reads its register afresh: the chip is asked up to three times for 0x22.
    if (f.chip.ReadRegAt(kConfigPort, 0x21) == 0x12) {
        if (f.chip.ReadRegAt(kConfigPort, 0x22) < 8) {
            f.KelvaneFanSpecialFlag = kFalse;
            if (f.chip.ReadRegAt(kConfigPort, 0x22) < 6) result = kFalse;
        }
    }
    if (f.chip.ReadRegAt(kConfigPort, 0x21) == 0x05) {
        if (f.chip.ReadRegAt(kConfigPort, 0x22) < 4) result = kFalse;
    }
    return result;
}

}  // namespace kelvane
