#include "pipe_client.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/framing.h"
#include "link/messages.h"
#include "link/published_state.h"

namespace {

constexpr const char* kPipe = "\\\\.\\pipe\\Kelvane";

HANDLE Connect(DWORD deadline) {
    while (GetTickCount() < deadline) {
        const HANDLE h =
            CreateFileA(kPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        Sleep(50);
    }
    return INVALID_HANDLE_VALUE;
}

// Takes what has arrived without waiting for more; false once the owner let the pipe go.
bool Drain(HANDLE pipe, kelvane::link::FrameReader& reader) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    while (available > 0) {
        char buffer[4096];
        DWORD n = 0;
        if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &n,
                      nullptr))
            return false;
        reader.Feed(std::string_view(buffer, n));
        available -= n;
    }
    return true;
}

// The first state after connecting: its status text and the first display's temperature,
// with the types of the frames before it.
int ReadState(HANDLE pipe, DWORD deadline) {
    kelvane::link::FrameReader reader;
    std::string before;
    while (GetTickCount() < deadline) {
        if (!Drain(pipe, reader)) break;
        while (const auto frame = reader.Next()) {
            if (frame->type != static_cast<std::uint16_t>(kelvane::link::MessageType::State)) {
                before += std::to_string(frame->type) + " ";
                continue;
            }
            const auto state = kelvane::link::DecodeState(frame->payload);
            if (!state) {
                std::printf("undecodable state\n");
                return 1;
            }
            std::printf("before=%s\nstatus=%s\ntemperature=%d\n", before.c_str(),
                        state->status_text.c_str(), state->displays[0].temperature);
            return 0;
        }
        Sleep(20);
    }
    std::printf("no state; before=%s\n", before.c_str());
    return 1;
}

}  // namespace

std::optional<int> PipeVerb(int argc, char** argv) {
    const std::string verb = argv[1];
    if (verb != "pipe-read" && verb != "pipe-garbage" && verb != "pipe-hold") return std::nullopt;
    const DWORD ms = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 5000;
    const DWORD deadline = GetTickCount() + ms;
    const HANDLE pipe = Connect(deadline);
    if (pipe == INVALID_HANDLE_VALUE) {
        std::printf("no pipe: %lu\n", GetLastError());
        return 1;
    }
    int result = 0;
    if (verb == "pipe-read") {
        result = ReadState(pipe, deadline);
    } else if (verb == "pipe-garbage") {
        // A length the owner can read, then a version it does not know.
        const char garbage[] = "\x10\0\0\0\x77\x77garbage garbage";
        DWORD n = 0;
        WriteFile(pipe, garbage, sizeof garbage - 1, &n, nullptr);
        kelvane::link::FrameReader ignored;
        while (GetTickCount() < deadline && Drain(pipe, ignored)) Sleep(20);
        const bool dropped = GetTickCount() < deadline;
        std::printf("dropped=%d\n", dropped ? 1 : 0);
        result = dropped ? 0 : 1;
    } else {
        Sleep(ms);  // connected, and never reading
    }
    CloseHandle(pipe);
    return result;
}
