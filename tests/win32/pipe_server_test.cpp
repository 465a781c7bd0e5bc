// The owner's pipe server under Wine: a view gets the greeting and every published state; a
// view that sends garbage is let go and counted, and the others go on being served. A view's
// requests reach the owner's side with the view's own number, and an answer reaches that view
// alone.
#include "win32/pipe_server.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

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
    std::mutex mutex;
    std::vector<link::ViewRequest> requests;
    bool refuse = false;  // the owner takes no more requests
    PipeServer server(greeting, dropped, [&](link::ViewRequest r) {
        const std::lock_guard lock(mutex);
        if (refuse) return false;
        requests.push_back(std::move(r));
        return true;
    });
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
    // Sound requests are handed over, in order, as the view sent them.
    const std::string request =
        link::EncodeDataFolderRequest() + link::Encode(link::SpanRequest{100, 200, 10});
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
    std::vector<link::ViewRequest> got;
    {
        const std::lock_guard lock(mutex);
        got = requests;
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, static_cast<std::uint16_t>(link::MessageType::DataFolderRequest));
    EXPECT_EQ(got[1].type, static_cast<std::uint16_t>(link::MessageType::SpanRequest));
    EXPECT_EQ(got[0].client, got[1].client);

    // A view that connects after the greeting changed gets the new one; an answer goes to
    // the view that asked and to no other.
    server.Regreet(link::EncodeFrame(3, "about again"));
    OwnedHandle late = Connect();
    ASSERT_TRUE(late);
    link::FrameReader late_reader;
    const auto regreeted = NextFrame(late.get(), late_reader);
    ASSERT_TRUE(regreeted);
    EXPECT_EQ(regreeted->payload, "about again");
    server.Answer(got[0].client, link::EncodeDataFolderReply("D:\\data"));
    server.Publish(link::EncodeFrame(1, "state 3"));
    const auto answer = NextFrame(good.get(), good_reader);
    ASSERT_TRUE(answer);
    EXPECT_EQ(link::DecodeDataFolderReply(answer->payload), "D:\\data");
    const auto only_state = NextFrame(late.get(), late_reader);
    ASSERT_TRUE(only_state);
    EXPECT_EQ(only_state->payload, "state 3");

    // A view whose request the owner cannot take is let go and counted.
    {
        const std::lock_guard lock(mutex);
        refuse = true;
    }
    ASSERT_TRUE(
        WriteFile(late.get(), request.data(), static_cast<DWORD>(request.size()), &n, nullptr));
    for (int waited = 0; waited < 2000 && dropped.total() < 2; waited += 10) Sleep(10);
    EXPECT_EQ(dropped.total(), 2u);
    EXPECT_FALSE(NextFrame(late.get(), late_reader));
}

}  // namespace
}  // namespace kelvane::win32
