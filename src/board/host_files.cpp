#include "board/host_files.h"

namespace kelvane::board {
namespace {

const std::string& FirstNamed(const std::string& first, const std::string& second) {
    return first.empty() ? second : first;
}

}  // namespace

HostFiles ChooseHostFiles(const HostFiles& environment, const HostFiles& registry,
                          const std::string& beside) {
    HostFiles files;
    files.description = FirstNamed(environment.description, registry.description);
    if (files.description.empty()) files.description = beside;
    files.trace = FirstNamed(environment.trace, registry.trace);
    files.speaker = FirstNamed(environment.speaker, registry.speaker);
    files.wav = FirstNamed(environment.wav, registry.wav);
    return files;
}

}  // namespace kelvane::board
