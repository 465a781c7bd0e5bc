#include "monitor/alarm_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// A clock whose every reading is a new second, so each record's stamp is its own.
class TickingClock : public Clock {
  public:
    int seconds = 30;
    void Sleep(long) override {}
    std::string ShortDate() override { return "12/6/2026"; }
    std::string LongTime() override { return "10:45:" + std::to_string(seconds++) + " PM"; }
    std::int64_t UnixSeconds() override { return 0; }
    int UtcOffsetMinutes(std::int64_t) override { return 0; }
};

struct LogRig {
    board::Board board;
    testing::Rig rig{board};
    TickingClock clock;
    Services services{board,     rig.profile, rig.files,   rig.processes, clock,      rig.registry,
                      rig.sound, rig.host,    rig.windows, rig.surfaces,  rig.threads};
    Form1 f{services, testing::kProgramFolder, "kelvane"};

    LogRig() {
        f.CPUTemp = 85;
        f.CPUTempFan = 4500;
        f.SystemTemp = -3;
        f.SystemTempFan = 99999;
        f.monitor.g_ErrorCode = 2;
        f.monitor.g_ErrorMsg = "The CPU Fan is out of order.";
    }
};

TEST(AlarmLog, RecordIsNineCrLfLinesWithAlignedLabels) {
    LogRig r;
    EXPECT_EQ(AlarmRecord(r.f),
              "Date:12/6/2026  Time:10:45:30 PM\r\n"
              "==============================================\r\n"
              "CPUTemperature    => 85\r\n"
              "CPUFanSpeed       => 4500\r\n"
              "SystemTemperature => -3\r\n"
              "SystemFanSpeed    => 99999\r\n"
              "ErrorCode         => 2\r\n"
              "The CPU Fan is out of order.\r\n"
              "\r\n");
}

TEST(AlarmLog, FaultFileGetsAFreshlyStampedCopyOnlyForAFault) {
    LogRig r;
    r.rig.files.files[kHistoryLog] = "old\r\n";
    WriteAlarmLog(r.f);
    const std::string& history = r.rig.files.files[kHistoryLog];
    const std::string& fault = r.rig.files.files[kFaultLog];
    EXPECT_EQ(history.substr(0, 5), "old\r\n");
    EXPECT_NE(history.find("Time:10:45:30 PM\r\n"), std::string::npos);
    EXPECT_NE(fault.find("Time:10:45:31 PM\r\n"), std::string::npos);
    EXPECT_EQ(history.substr(history.find("=")), fault.substr(fault.find("=")));

    r.f.monitor.g_ErrorCode = 0;
    r.f.monitor.g_ErrorMsg = "Normal...";
    WriteAlarmLog(r.f);
    EXPECT_EQ(r.rig.files.appended_paths,
              (std::vector<std::string>{kHistoryLog, kFaultLog, kHistoryLog}));
}

}  // namespace
}  // namespace kelvane
