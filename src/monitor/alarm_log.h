#pragma once
// The alarm log files: a nine-line snapshot of the readings appended to the history file
// and, for a fault, to the fault file. The history file also switches the critical
// behaviour on, so the program never creates it.
#include <string>

#include "state/form1.h"

namespace kelvane {

inline constexpr const char* kHistoryLog = "C:\\hwm.txt";
inline constexpr const char* kFaultLog = "C:\\ng.txt";

// One record from the readings as they stand, stamped with the clock's date and time now.
std::string AlarmRecord(Form1& f);

// Appends a record to the history file, and a freshly stamped one to the fault file when
// the status code is not 0. A failing append raises RuntimeError(FileError).
void WriteAlarmLog(Form1& f);

}  // namespace kelvane
