#include "chip/chip_identification.h"

namespace kelvane {

i16 CheckChipRevision(Form1& f) {
    for (int key : {0x87, 0x01, 0x55, 0x55}) f.chip.Outb(kConfigPort, key);

    i16 result = kTrue;
    f.KelvaneFanSpecialFlag = kTrue;
    // Each test reads its register afresh: the chip is asked up to three times for 0x22.
    // Noted as read, without extra reads: the chip sees the same sequence either way.
    auto id = [&] { return f.findings.chip_id = f.chip.ReadRegAt(kConfigPort, 0x21); };
    auto revision = [&] {
        const int r = f.chip.ReadRegAt(kConfigPort, 0x22);
        if (f.findings.chip_revision < 0) f.findings.chip_revision = r;
        return r;
    };
    f.findings.chip_id = f.findings.chip_revision = -1;
    if (id() == 0x12) {
        if (revision() < 8) {
            f.KelvaneFanSpecialFlag = kFalse;
            if (revision() < 6) result = kFalse;
        }
    }
    if (id() == 0x05) {
        if (revision() < 4) result = kFalse;
    }
    return result;
}

}  // namespace kelvane
