// The owner's pipe server under Wine: a view gets the greeting and every published state; a
// view that sends garbage is let go and counted, and the others go on being served.
#include "win32/pipe_server.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link/framing.h"
#include "link/messages.h"
#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

OwnedHandle Connect() {
    for (int tries = 0; tries < 100; ++tries) {
        const HANDLE h = CreateFileA(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) return OwnedHandle(h);
        Sleep(20);
    }
    return {};
}

// The next whole frame, or nothing once the pipe is gone or two seconds passed.
std::optional<link::Frame> NextFrame(HANDLE pipe, link::FrameReader& reader) {
    for (int waited = 0; waited < 2000; waited += 10) {
        if (auto f = reader.Next()) return f;
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return std::nullopt;
        if (available == 0) {
            Sleep(10);
            continue;
        }
        std::string bytes(available, '\0');
        DWORD n = 0;
        if (!ReadFile(pipe, bytes.data(), available, &n, nullptr)) return std::nullopt;
        reader.Feed(std::string_view(bytes).substr(0, n));
    }
    return reader.Next();
}

TEST(PipeServer, ServesViewsAndDropsOneThatSendsGarbage) {
    link::DropCounter dropped;
    // A greeting wider than the pipe's buffer, as a real layout is.
    const std::string greeting =
        link::EncodeFrame(2, std::string(20000, 'L')) + link::EncodeFrame(3, "about");
    PipeServer server(greeting, dropped);
    OwnedHandle good = Connect(), bad = Connect();
    ASSERT_TRUE(good && bad);
    link::FrameReader good_reader, bad_reader;
    for (auto [pipe, reader] : {std::pair{good.get(), &good_reader}, {bad.get(), &bad_reader}}) {
        const auto layout = NextFrame(pipe, *reader);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->payload.size(), 20000u);
        ASSERT_TRUE(NextFrame(pipe, *reader));
    }

    const char garbage[] = "\x10\0\0\0\x77\x77garbage garbage";
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(bad.get(), garbage, sizeof garbage - 1, &n, nullptr));
    // A sound request is taken without a word.
    const std::string request = link::EncodeDataFolderRequest();
    ASSERT_TRUE(
        WriteFile(good.get(), request.data(), static_cast<DWORD>(request.size()), &n, nullptr));
    for (int i = 0; i < 3; ++i) {
        server.Publish(link::EncodeFrame(1, "state " + std::to_string(i)));
        const auto state = NextFrame(good.get(), good_reader);
        ASSERT_TRUE(state);
        EXPECT_EQ(state->payload, "state " + std::to_string(i));
    }
    EXPECT_FALSE(NextFrame(bad.get(), bad_reader));  // let go: the pipe is gone
    EXPECT_EQ(dropped.total(), 1u);
}

}  // namespace
}  // namespace kelvane::win32
