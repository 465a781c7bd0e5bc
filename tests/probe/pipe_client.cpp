#include "pipe_client.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
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

// Hands every frame to `take` until it says it has seen enough; false at the deadline or when
// the owner let the pipe go.
bool ReadUntil(HANDLE pipe, kelvane::link::FrameReader& reader, DWORD deadline,
               const std::function<bool(const kelvane::link::Frame&)>& take) {
    while (GetTickCount() < deadline) {
        if (!Drain(pipe, reader)) return false;
        while (const auto frame = reader.Next())
            if (take(*frame)) return true;
        Sleep(20);
    }
    return false;
}

bool Send(HANDLE pipe, const std::string& frames) {
    DWORD n = 0;
    return WriteFile(pipe, frames.data(), static_cast<DWORD>(frames.size()), &n, nullptr) &&
           n == frames.size();
}

bool Is(const kelvane::link::Frame& f, kelvane::link::MessageType type) {
    return f.type == static_cast<std::uint16_t>(type);
}

// Fan 0's first set point changed to `s0` from the settings the greeting's Layout carries;
// prints the answer and the Layout the owner sent again.
int ChangeSettings(HANDLE pipe, DWORD deadline, int s0) {
    using kelvane::link::MessageType;
    kelvane::link::FrameReader reader;
    std::optional<kelvane::link::LayoutMessage> layout;
    if (!ReadUntil(pipe, reader, deadline,
                   [&](const kelvane::link::Frame& f) {
                       if (Is(f, MessageType::Layout))
                           layout = kelvane::link::DecodeLayout(f.payload);
                       return Is(f, MessageType::Layout);
                   }) ||
        !layout) {
        std::printf("no layout\n");
        return 1;
    }
    kelvane::link::SettingsChange change = kelvane::link::ChangeOf(layout->settings);
    change.fans[0].S[0] = static_cast<kelvane::i16>(s0);
    if (!Send(pipe, kelvane::link::Encode(change))) return 1;
    int layouts = 0, layout_s0 = -1;
    std::optional<kelvane::link::SettingsAnswer> answer;
    ReadUntil(pipe, reader, deadline, [&](const kelvane::link::Frame& f) {
        if (Is(f, MessageType::Layout)) {
            ++layouts;
            if (const auto l = kelvane::link::DecodeLayout(f.payload))
                layout_s0 = l->settings.g_FanCtrl[0].S[0];
        }
        if (Is(f, MessageType::SettingsAnswer))
            answer = kelvane::link::DecodeSettingsAnswer(f.payload);
        return answer.has_value();
    });
    if (!answer) {
        std::printf("no answer\n");
        return 1;
    }
    std::printf("applied=%d\nmessage=%s\nlayouts=%d\nlayout_s0=%d\n", answer->applied ? 1 : 0,
                answer->message.c_str(), layouts, layout_s0);
    return answer->applied ? 0 : 1;
}

// The owner's history of the last `seconds` in `columns`, and its data folder.
int AskSpan(HANDLE pipe, DWORD deadline, int seconds, int columns) {
    using kelvane::link::MessageType;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) + 1;
    if (!Send(pipe, kelvane::link::Encode(kelvane::link::SpanRequest{now - seconds, now, columns}) +
                        kelvane::link::EncodeDataFolderRequest()))
        return 1;
    kelvane::link::FrameReader reader;
    kelvane::link::SpanAssembler span;
    bool done = false;
    std::optional<std::string> folder;
    ReadUntil(pipe, reader, deadline, [&](const kelvane::link::Frame& f) {
        if (Is(f, MessageType::SpanReply) && !done)
            done = span.Take(f.payload) == kelvane::link::SpanAssembler::Result::Done;
        if (Is(f, MessageType::DataFolderReply))
            folder = kelvane::link::DecodeDataFolderReply(f.payload);
        return done && folder.has_value();
    });
    int with_reading = 0;
    for (const auto& c : span.span().columns) with_reading += c.stat[0].present ? 1 : 0;
    std::printf("done=%d\ncolumns=%zu\nwith_reading=%d\nfolder=%s\n", done ? 1 : 0,
                span.span().columns.size(), with_reading, folder.value_or("").c_str());
    return done && folder ? 0 : 1;
}

}  // namespace

std::optional<int> PipeVerb(int argc, char** argv) {
    const std::string verb = argv[1];
    if (verb != "pipe-read" && verb != "pipe-garbage" && verb != "pipe-hold" &&
        verb != "pipe-settings" && verb != "pipe-span")
        return std::nullopt;
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
    } else if (verb == "pipe-settings") {
        result = ChangeSettings(pipe, deadline, argc > 3 ? std::atoi(argv[3]) : 30);
    } else if (verb == "pipe-span") {
        result = AskSpan(pipe, deadline, argc > 3 ? std::atoi(argv[3]) : 600,
                         argc > 4 ? std::atoi(argv[4]) : 600);
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
