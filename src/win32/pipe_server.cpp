#include "win32/pipe_server.h"

#include <sddl.h>

#include <algorithm>
#include <array>
#include <optional>

#include "link/framing.h"
#include "link/messages.h"
#include "win32/view_token.h"

namespace kelvane::win32 {
namespace {

// Small, so that a view that stops reading fills it within seconds and its queue shows it.
constexpr DWORD kOutBuffer = 4096;
constexpr DWORD kInBuffer = 4096;
// Two waits per view and three of the server's own within WaitForMultipleObjects' 64.
constexpr std::size_t kMaxClients = 30;
// Frames the pipe's thread has not taken yet; more are only possible when it is stuck, and
// then the oldest go first: a stale state, or an answer its view has waited too long for.
constexpr std::size_t kMaxInbox = 64;
// SYSTEM and Administrators everything, interactive users read and write.
constexpr const char* kPipeSecurity = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;IU)";

std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

OwnedHandle ManualEvent() { return OwnedHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

// Waits out an operation that was cancelled, so that its buffer may go.
void Settle(HANDLE pipe, OVERLAPPED& o) {
    DWORD n = 0;
    GetOverlappedResult(pipe, &o, &n, TRUE);
}

std::optional<link::DropReason> ReasonOf(link::FrameFault fault) {
    switch (fault) {
        case link::FrameFault::None:
            return std::nullopt;
        case link::FrameFault::Oversized:
            return link::DropReason::Oversized;
        case link::FrameFault::OtherVersion:
            return link::DropReason::OtherVersion;
        case link::FrameFault::Malformed:
            break;
    }
    return link::DropReason::Malformed;
}

}  // namespace

struct PipeServer::Client {
    std::uint64_t id = 0;
    OwnedHandle pipe;
    OwnedHandle read_event = ManualEvent();
    OwnedHandle write_event = ManualEvent();
    OVERLAPPED read_overlapped{};
    OVERLAPPED write_overlapped{};
    bool reading = false;
    bool writing = false;
    bool closed = false;  // by the view: let go without counting
    std::optional<link::DropReason> fault;
    std::array<char, kInBuffer> buffer{};
    link::ClientQueue queue;
    link::FrameReader reader;
};

PipeServer::PipeServer(std::string greeting, link::DropCounter& dropped, Requests requests)
    : dropped_(dropped),
      requests_(std::move(requests)),
      stop_(ManualEvent()),
      wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      greeting_(std::move(greeting)),
      listen_event_(ManualEvent()),
      thread_([this] { Run(); }) {}

PipeServer::~PipeServer() {
    SetEvent(stop_.get());
    thread_.join();
}

void PipeServer::Publish(std::string_view frame) { Answer(0, std::string(frame)); }

void PipeServer::Answer(std::uint64_t client, std::string frames) {
    {
        const std::lock_guard lock(inbox_mutex_);
        if (inbox_.size() >= kMaxInbox) inbox_.erase(inbox_.begin());
        inbox_.push_back({client, std::move(frames)});
    }
    SetEvent(wake_.get());
}

void PipeServer::Regreet(std::string greeting) {
    const std::lock_guard lock(inbox_mutex_);
    greeting_ = std::move(greeting);
}

void PipeServer::Listen() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kPipeSecurity, SDDL_REVISION_1,
                                                         &descriptor, nullptr);
    const Owned<HLOCAL, LocalFree> descriptor_owner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // The first instance claims the name, so that no other process serves it meanwhile.
    const DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                            (first_instance_made_ ? 0 : FILE_FLAG_FIRST_PIPE_INSTANCE);
    const HANDLE pipe = CreateNamedPipeA(
        kPipeName, open_mode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kOutBuffer, kInBuffer, 0, &attributes);
    if (pipe == INVALID_HANDLE_VALUE) return;  // tried again in a second
    first_instance_made_ = true;
    listening_.reset(pipe);
    listen_overlapped_ = {};
    listen_overlapped_.hEvent = listen_event_.get();
    ResetEvent(listen_event_.get());
    listen_pending_ = true;
    if (ConnectNamedPipe(pipe, &listen_overlapped_)) {
        SetEvent(listen_event_.get());
        return;
    }
    switch (GetLastError()) {
        case ERROR_IO_PENDING:
            break;
        case ERROR_PIPE_CONNECTED:  // between the creation and the call
            SetEvent(listen_event_.get());
            break;
        default:
            listen_pending_ = false;
            listening_.reset();
    }
}

void PipeServer::Accept() {
    listen_pending_ = false;
    auto c = std::make_unique<Client>();
    c->id = ++last_client_;
    c->pipe = std::move(listening_);
    Listen();
    if (clients_.size() >= kMaxClients) {
        DisconnectNamedPipe(c->pipe.get());
        return;
    }
    std::string greeting;
    {
        const std::lock_guard lock(inbox_mutex_);
        greeting = greeting_;
    }
    if (!c->queue.Push(std::move(greeting), NowMs())) return;
    StartRead(*c);
    StartWrite(*c);
    clients_.push_back(std::move(c));
}

void PipeServer::StartRead(Client& c) {
    c.read_overlapped = {};
    c.read_overlapped.hEvent = c.read_event.get();
    if (ReadFile(c.pipe.get(), c.buffer.data(), static_cast<DWORD>(c.buffer.size()), nullptr,
                 &c.read_overlapped) ||
        GetLastError() == ERROR_IO_PENDING)
        c.reading = true;
    else
        c.closed = true;
}

bool PipeServer::FinishRead(Client& c) {
    c.reading = false;
    DWORD n = 0;
    if (!GetOverlappedResult(c.pipe.get(), &c.read_overlapped, &n, FALSE)) {
        c.closed = true;
        return false;
    }
    c.reader.Feed(std::string_view(c.buffer.data(), n));
    if (!TakeFrames(c)) return false;
    c.fault = ReasonOf(c.reader.fault());
    if (c.fault) return false;
    StartRead(c);
    return true;
}

bool PipeServer::TakeFrames(Client& c) {
    while (auto frame = c.reader.Next()) {
        if (!link::IsViewRequest(frame->type, frame->payload)) {
            c.fault = link::DropReason::Malformed;
            return false;
        }
        link::ViewRequest request{c.id, frame->type, std::move(frame->payload), {}};
        // Who asks is learnt here, where the pipe is: the owner's thread never sees it.
        if (frame->type == static_cast<std::uint16_t>(link::MessageType::SettingsChangeRequest))
            request.token = ViewTokenFacts(c.pipe.get());
        if (!requests_(std::move(request))) {
            c.fault = link::DropReason::Flooding;
            return false;
        }
    }
    return true;
}

void PipeServer::StartWrite(Client& c) {
    const std::string_view next = c.queue.Front();
    if (c.writing || next.empty()) return;
    c.write_overlapped = {};
    c.write_overlapped.hEvent = c.write_event.get();
    if (WriteFile(c.pipe.get(), next.data(), static_cast<DWORD>(next.size()), nullptr,
                  &c.write_overlapped) ||
        GetLastError() == ERROR_IO_PENDING)
        c.writing = true;
    else
        c.closed = true;
}

void PipeServer::Deliver() {
    std::vector<Outgoing> outgoing;
    {
        const std::lock_guard lock(inbox_mutex_);
        outgoing.swap(inbox_);
    }
    const std::int64_t now = NowMs();
    for (const Outgoing& o : outgoing)
        for (const auto& c : clients_)
            if ((o.client == 0 || o.client == c->id) && !c->fault && !c->queue.Push(o.frames, now))
                c->fault = link::DropReason::NotReading;
    for (const auto& c : clients_)
        if (!c->fault) StartWrite(*c);
}

void PipeServer::Drop(std::size_t i, bool count) {
    Client& c = *clients_[i];
    if (c.reading || c.writing) CancelIo(c.pipe.get());
    if (c.reading) Settle(c.pipe.get(), c.read_overlapped);
    if (c.writing) Settle(c.pipe.get(), c.write_overlapped);
    DisconnectNamedPipe(c.pipe.get());
    if (count && c.fault) dropped_.Count(*c.fault);
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
}

void PipeServer::Run() {
    Listen();
    std::vector<HANDLE> waits;
    for (;;) {
        waits = {stop_.get(), wake_.get()};
        if (listen_pending_) waits.push_back(listen_event_.get());
        for (const auto& c : clients_) {
            if (c->reading) waits.push_back(c->read_event.get());
            if (c->writing) waits.push_back(c->write_event.get());
        }
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                                  FALSE, listen_pending_ ? INFINITE : 1000);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) {
            if (!listen_pending_) Listen();
            continue;
        }
        // Every operation that finished, not only the first: no view waits behind another.
        if (listen_pending_ && WaitForSingleObject(listen_event_.get(), 0) == WAIT_OBJECT_0)
            Accept();
        for (const auto& c : clients_) {
            if (c->reading && WaitForSingleObject(c->read_event.get(), 0) == WAIT_OBJECT_0)
                FinishRead(*c);
            if (c->writing && WaitForSingleObject(c->write_event.get(), 0) == WAIT_OBJECT_0) {
                c->writing = false;
                DWORD n = 0;
                if (GetOverlappedResult(c->pipe.get(), &c->write_overlapped, &n, FALSE))
                    c->queue.Written(n, NowMs());
                else
                    c->closed = true;
                if (!c->closed) StartWrite(*c);
            }
        }
        Deliver();
        for (std::size_t i = clients_.size(); i-- > 0;)
            if (clients_[i]->closed || clients_[i]->fault) Drop(i, true);
    }
    while (!clients_.empty()) Drop(clients_.size() - 1, false);
    if (listen_pending_) {
        CancelIo(listening_.get());
        Settle(listening_.get(), listen_overlapped_);
    }
}

}  // namespace kelvane::win32
