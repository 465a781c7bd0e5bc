#include "chip/chip_identification.h"

namespace kelvane {

i16 CheckChipRevision(ChipAccess& chip, i16& delta_temp_flag, int& chip_id, int& chip_revision) {
    for (int key : {0x87, 0x01, 0x55, 0x55}) chip.Outb(kConfigPort, key);

    i16 result = kTrue;
    delta_temp_flag = kTrue;
    // Each test reads its register afresh: the chip is asked up to three times for 0x22.
    // Noted as read, without extra reads: the chip sees the same sequence either way.
    auto id = [&] { return chip_id = chip.ReadRegAt(kConfigPort, 0x21); };
    auto revision = [&] {
        const int r = chip.ReadRegAt(kConfigPort, 0x22);
        if (chip_revision < 0) chip_revision = r;
        return r;
    };
    chip_id = chip_revision = -1;
    if (id() == kNewerChipId) {
        if (revision() < 8) {
            delta_temp_flag = kFalse;
            if (revision() < 6) result = kFalse;
        }
    }
    if (id() == kOlderChipId) {
        if (revision() < 4) result = kFalse;
    }
    return result;
}

int ReadMonitorBase(ChipAccess& chip) {
    constexpr int kDeviceSelect = 0x07, kMonitorDevice = 4;
    chip.WriteRegAt(kConfigPort, kDeviceSelect, kMonitorDevice);
    const int high = chip.ReadRegAt(kConfigPort, 0x60);
    return high * 256 + chip.ReadRegAt(kConfigPort, 0x61);
}

}  // namespace kelvane
