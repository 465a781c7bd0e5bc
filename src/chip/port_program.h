#pragma once
// The port program "kelvane.dat": a byte-coded list of port and register accesses that an
// installation runs once at start-up, before the settings are read.
#include <string>
#include <string_view>

#include "base/platform.h"
#include "chip/chip_access.h"
#include "chip/port_driver.h"

namespace kelvane {

// Opcodes; 16-bit operands are little-endian. One 8-bit accumulator, 0 at the start.
enum PortOpcode : unsigned char {
    kOpEnd = 0x00,
    kOpOut = 0x80,       // port16, value8
    kOpIn = 0x81,        // port16 -> accumulator
    kOpOr = 0x82,        // value8
    kOpNot = 0x83,       //
    kOpAnd = 0x84,       // value8
    kOpXor = 0x85,       // value8
    kOpOutAcc = 0x86,    // port16 <- accumulator
    kOpWriteReg = 0x87,  // index16, reg8, value8
    kOpReadReg = 0x88,   // index16, reg8; the byte read is dropped
};

// Runs a program from its bytes. Past the end every byte reads 0, so a truncated operand is 0
// and the end acts as the end opcode; an unknown opcode is skipped on its own.
void InterpretPortProgram(PortDriver& driver, std::string_view program);

// Runs the program file at `path` (kelvane.dat in the program folder). A missing file
// touches nothing and is not created. Each call goes through `chip`, so none lands inside a
// unit another thread holds (a note of the tune).
void RunPortProgram(FileSystem& files, ChipAccess& chip, const std::string& path);

}  // namespace kelvane
