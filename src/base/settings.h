#pragma once
// The settings image: the program-wide values that LoadSettings fills from "kelvane.ini",
// the options dialog edits and ApplySettings writes back. Names follow the settings keys.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/int16.h"

namespace kelvane {

struct FanCtrlRecord {
    std::string Caption;
    i16 Mode = 0;            // 0 automatic, otherwise software programmable
    std::array<i16, 5> S{};  // set points; S[4] doubles as DeltaTemp
    std::array<i16, 3> Speed{};
    i16 SwFan = 0;
    i16 TmpAlarm = 0;
    std::string Modulate;  // default records only
    i16 UserCtl = 0;       // default records only
};

// The set-point and speed keys a fan-control record has, in file order. The newer register
// layout has three set points and one speed; DeltaTemp (kept in S(4)) only on chips with the
// delta-temperature field.
struct FanSetPointKey {
    const char* key;
    bool speed;  // Speed(index) rather than S(index)
    int index;
};

inline std::vector<FanSetPointKey> FanSetPointKeys(bool newer_layout, bool delta_temp) {
    if (!newer_layout)
        return {{"S0", false, 0}, {"S1", false, 1},    {"S2", false, 2},    {"S3", false, 3},
                {"S4", false, 4}, {"Speed0", true, 0}, {"Speed1", true, 1}, {"Speed2", true, 2}};
    std::vector<FanSetPointKey> keys = {{"S0", false, 0}, {"S1", false, 1}, {"S2", false, 2}};
    if (delta_temp) keys.push_back({"DeltaTemp", false, 4});
    keys.push_back({"Speed0", true, 0});
    return keys;
}

inline i16& FanSetPointField(FanCtrlRecord& r, const FanSetPointKey& k) {
    return k.speed ? r.Speed[static_cast<size_t>(k.index)] : r.S[static_cast<size_t>(k.index)];
}

struct VinRecord {
    i16 DefaultTemp = 0;  // nominal voltage in hundredths of a volt
    i16 Enable = 0;
    i16 Percent = 0;
};

struct VoltageFactors {
    double P5VRa = 0, P5VRb = 0, P12VRa = 0, P12VRb = 0;
    double N5VREF = 0, N5VRin = 0, N5VRf = 0;     // N5VREF in volts
    double N12VREF = 0, N12VRin = 0, N12VRf = 0;  // N12VREF in volts
};

inline constexpr i16 kDefaultAddress = 0x295;

struct Settings {
    std::string g_IniPath;
    i16 g_Address = kDefaultAddress;  // the default index port until a read succeeds
    std::string g_AboutText;
    i16 g_BeepWaitTimes = 0;
    i16 g_UserScroll = 0;
    i16 g_SoundWarnning = 0;
    i16 g_ExecuteAtStartup = 0;
    i16 g_DisplayOnTop = 0;
    i16 g_DisplayScale = 0;
    std::uint32_t g_BackColor = 0;
    VoltageFactors factors;
    std::array<VinRecord, 9> g_Vin{};
    std::array<FanCtrlRecord, 3> g_DefaultFanCtrl{};
    std::array<FanCtrlRecord, 3> g_FanCtrl{};
    // Section "Export": the fleet's metrics file (empty: none) and whether events are logged.
    std::string g_ExportTextFile;
    i16 g_ExportEventLog = kTrue;
    // Section "History": the data folder (empty: the machine's program-data folder) and the
    // days of minute files kept.
    std::string g_HistoryFolder;
    i16 g_HistoryDays = 31;
    // Section "Maintenance": the notice that compares the terminal with its own history.
    i16 g_MaintenanceEnabled = kTrue;
    std::int32_t g_BaselineMinutes = 10080;
    std::int32_t g_WindowMinutes = 1440;
    std::int32_t g_FanDropPercent = 25;
    std::int32_t g_RiseDegrees = 8;
};

// ExecuteAtStartup 3: started with Windows, into the notification area.
inline bool StartsMinimized(const Settings& s) { return s.g_ExecuteAtStartup == 3; }

}  // namespace kelvane
