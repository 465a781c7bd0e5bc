#include "win32/pipe_client.h"

#include <array>
#include <utility>

#include "win32/pipe_server.h"

namespace kelvane::win32 {
namespace {

constexpr DWORD kRetryMs = 1000;

// Waits for an operation that was cancelled or has finished, so that its buffer may go.
void Settle(HANDLE pipe, OVERLAPPED& overlapped) {
    DWORD n = 0;
    GetOverlappedResult(pipe, &overlapped, &n, TRUE);
}

bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

PipeClient::PipeClient(HWND window, UINT message)
    : window_(window),
      message_(message),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

PipeClient::~PipeClient() {
    SetEvent(stop_.get());
    thread_.join();
}

void PipeClient::Send(std::string frame) {
    {
        const std::lock_guard lock(mutex_);
        outbox_.push_back(std::move(frame));
    }
    SetEvent(wake_.get());
}

void PipeClient::Reconnect() {
    {
        const std::lock_guard lock(mutex_);
        reconnect_ = true;
    }
    SetEvent(wake_.get());
}

std::vector<PipeClient::Event> PipeClient::Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

void PipeClient::Push(Event e) {
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = events_.empty();
        events_.push_back(std::move(e));
    }
    // One message for a burst: the window's thread takes them all at once.
    if (first) PostMessageA(window_, message_, 0, 0);
}

void PipeClient::Run() {
    bool told_gone = false;
    for (;;) {
        const HANDLE pipe = CreateFileA(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            const OwnedHandle owned(pipe);
            {
                const std::lock_guard lock(mutex_);
                outbox_.clear();
                reconnect_ = false;
            }
            Push({Event::Kind::Connected, {}});
            told_gone = false;
            Serve(pipe);
        } else if (GetLastError() == ERROR_PIPE_BUSY) {
            // The owner is there and accepting another view: no reason to call it gone.
            WaitNamedPipeA(kPipeName, kRetryMs);
            if (Signalled(stop_.get())) return;
            continue;
        }
        if (Signalled(stop_.get())) return;
        if (!told_gone) {
            Push({Event::Kind::Gone, {}});
            told_gone = true;
        }
        if (WaitForSingleObject(stop_.get(), kRetryMs) == WAIT_OBJECT_0) return;
    }
}

void PipeClient::Serve(HANDLE pipe) {
    const OwnedHandle read_event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const OwnedHandle write_event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED read_overlapped{}, write_overlapped{};
    std::array<char, 16 * 1024> buffer{};
    std::string sending;
    bool reading = false, writing = false;
    link::FrameReader reader;
    for (;;) {
        if (!reading) {
            read_overlapped = {};
            read_overlapped.hEvent = read_event.get();
            if (!ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                          &read_overlapped) &&
                GetLastError() != ERROR_IO_PENDING)
                break;
            reading = true;
        }
        if (!writing) {
            if (sending.empty()) {
                const std::lock_guard lock(mutex_);
                if (!outbox_.empty()) {
                    sending = std::move(outbox_.front());
                    outbox_.pop_front();
                }
            }
            if (!sending.empty()) {
                write_overlapped = {};
                write_overlapped.hEvent = write_event.get();
                if (!WriteFile(pipe, sending.data(), static_cast<DWORD>(sending.size()), nullptr,
                               &write_overlapped) &&
                    GetLastError() != ERROR_IO_PENDING)
                    break;
                writing = true;
            }
        }
        const std::array<HANDLE, 4> waits{stop_.get(), wake_.get(), read_event.get(),
                                          write_event.get()};
        const DWORD count = writing ? 4 : 3;
        const DWORD woke = WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
        {
            const std::lock_guard lock(mutex_);
            if (reconnect_) break;
        }
        if (Signalled(read_event.get())) {
            reading = false;
            DWORD n = 0;
            if (!GetOverlappedResult(pipe, &read_overlapped, &n, FALSE)) break;
            reader.Feed(std::string_view(buffer.data(), n));
            while (auto frame = reader.Next()) Push({Event::Kind::Frame, std::move(*frame)});
            if (reader.fault() != link::FrameFault::None) break;
        }
        if (writing && Signalled(write_event.get())) {
            writing = false;
            DWORD n = 0;
            if (!GetOverlappedResult(pipe, &write_overlapped, &n, FALSE)) break;
            sending.erase(0, n);
        }
    }
    if (reading || writing) CancelIo(pipe);
    if (reading) Settle(pipe, read_overlapped);
    if (writing) Settle(pipe, write_overlapped);
}

}  // namespace kelvane::win32
