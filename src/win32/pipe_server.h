#pragma once
// The owner's end of \\.\pipe\Kelvane: a thread of its own that accepts views, greets each
// with the layout and About, writes each the state of every tick and reads what it sends.
// A view's requests go to the owner's thread with what impersonating the view told of its
// token, and the answers come back for that view alone. The tick's thread only hands frames
// over; no view's pipe ever holds up a tick.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/client_queue.h"
#include "link/owner_desk.h"
#include "win32/handles.h"

namespace kelvane::win32 {

inline constexpr const char* kPipeName = "\\\\.\\pipe\\Kelvane";

class PipeServer {
  public:
    // Runs on the pipe's thread and must not wait: false when the owner takes no more
    // requests now, and the view is let go.
    using Requests = std::function<bool(link::ViewRequest)>;
    // `greeting`: the frames each view gets on connecting. `dropped` counts the views let go.
    PipeServer(std::string greeting, link::DropCounter& dropped, Requests requests);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // From the tick's thread: queues the frame for every connected view and returns.
    void Publish(std::string_view frame);
    // From the owner's thread: the answer to a request of view `client`, for it alone; a view
    // gone meanwhile gets nothing.
    void Answer(std::uint64_t client, std::string frames);
    // The frames a view that connects from now on is greeted with.
    void Regreet(std::string greeting);

  private:
    struct Client;
    void Run();
    void Listen();
    void Accept();
    void Deliver();
    void Drop(std::size_t i, bool count);
    bool TakeFrames(Client& c);
    void StartRead(Client& c);
    void StartWrite(Client& c);
    bool FinishRead(Client& c);

    struct Outgoing {
        std::uint64_t client = 0;  // 0: every view
        std::string frames;
    };

    link::DropCounter& dropped_;
    const Requests requests_;
    OwnedHandle stop_;
    OwnedHandle wake_;
    std::mutex inbox_mutex_;
    std::string greeting_;         // under the inbox's mutex
    std::vector<Outgoing> inbox_;  // frames handed over since the thread last looked
    // The pipe's thread's own.
    OwnedHandle listening_;
    OwnedHandle listen_event_;
    OVERLAPPED listen_overlapped_{};
    bool listen_pending_ = false;
    bool first_instance_made_ = false;
    std::uint64_t last_client_ = 0;
    std::vector<std::unique_ptr<Client>> clients_;
    std::thread thread_;
};

}  // namespace kelvane::win32
