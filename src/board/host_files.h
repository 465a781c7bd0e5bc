#pragma once
// The files the stand-in driver library works with, and which source names each one.
#include <string>

namespace kelvane::board {

struct HostFiles {
    std::string description;  // empty: always the demo board
    std::string trace;        // empty: no trace
    std::string speaker;      // empty: no speaker record
    std::string wav;          // empty: no rendering
};

// Each file from the environment when it names one, else from the registry: a service is
// started without the environment of the command that started it. A description named by
// neither is the board.ini beside the library.
HostFiles ChooseHostFiles(const HostFiles& environment, const HostFiles& registry,
                          const std::string& beside);

}  // namespace kelvane::board
