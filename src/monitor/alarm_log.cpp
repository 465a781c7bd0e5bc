#include "monitor/alarm_log.h"

namespace kelvane {

std::string AlarmRecord(Form1& f) {
    const char* crlf = "\r\n";
    std::string r;
    r.reserve(256);
    r += "Date:" + f.sys.clock.ShortDate() + "  Time:" + f.sys.clock.LongTime() + crlf;
    r += std::string(46, '=') + crlf;
    r += "CPUTemperature    => " + std::to_string(f.CPUTemp) + crlf;
    r += "CPUFanSpeed       => " + std::to_string(f.CPUTempFan) + crlf;
    r += "SystemTemperature => " + std::to_string(f.SystemTemp) + crlf;
    r += "SystemFanSpeed    => " + std::to_string(f.SystemTempFan) + crlf;
    r += "ErrorCode         => " + std::to_string(f.monitor.g_ErrorCode) + crlf;
    r += f.monitor.g_ErrorMsg + crlf;
    r += crlf;
    return r;
}

void WriteAlarmLog(Form1& f) {
    f.sys.files.AppendFile(kHistoryLog, AlarmRecord(f));
    // Built again so the fault file carries its own time stamp.
    if (f.monitor.g_ErrorCode > 0) f.sys.files.AppendFile(kFaultLog, AlarmRecord(f));
}

}  // namespace kelvane
