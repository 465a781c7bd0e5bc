#pragma once
// The owner's end of \\.\pipe\Kelvane: a thread of its own that accepts views, greets each
// with the layout and About, writes each the state of every tick and reads what it sends.
// The tick's thread only hands frames over; no view's pipe ever holds up a tick.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/client_queue.h"
#include "win32/handles.h"

namespace kelvane::win32 {

inline constexpr const char* kPipeName = "\\\\.\\pipe\\Kelvane";

class PipeServer {
  public:
    // `greeting`: the frames each view gets on connecting. `dropped` counts the views let go.
    PipeServer(std::string greeting, link::DropCounter& dropped);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // From the tick's thread: queues the frame for every connected view and returns.
    void Publish(std::string_view frame);

  private:
    struct Client;
    void Run();
    void Listen();
    void Accept();
    void Deliver();
    void Drop(std::size_t i, bool count);
    void StartRead(Client& c);
    void StartWrite(Client& c);
    bool FinishRead(Client& c);

    const std::string greeting_;
    link::DropCounter& dropped_;
    OwnedHandle stop_;
    OwnedHandle wake_;
    std::mutex inbox_mutex_;
    std::vector<std::string> inbox_;  // frames handed over since the thread last looked
    // The pipe's thread's own.
    OwnedHandle listening_;
    OwnedHandle listen_event_;
    OVERLAPPED listen_overlapped_{};
    bool listen_pending_ = false;
    bool first_instance_made_ = false;
    std::vector<std::unique_ptr<Client>> clients_;
    std::thread thread_;
};

}  // namespace kelvane::win32
