#pragma once
// The files a machine-wide setting names for the stand-in library, for a program that runs
// without the environment of the test that started it (a service).
#include "board/host_files.h"

namespace kelvane::board {

// HKLM\SOFTWARE\Kelvane\SimulatedBoard: Description, Trace, Speaker and SpeakerWav, each a
// REG_SZ path; a missing key or value names nothing.
HostFiles RegistryFiles();

}  // namespace kelvane::board
