#pragma once
// A view's end of \\.\pipe\Kelvane: a thread of its own connects, reads the owner's frames and
// writes the view's requests with overlapped I/O, and hands what arrives to the window's
// thread by a posted message. The window's thread never waits on the pipe.
#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/framing.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class PipeClient {
  public:
    struct Event {
        enum class Kind { Connected, Frame, Gone } kind = Kind::Gone;
        link::Frame frame;
    };

    // `message` is posted to `window` whenever events wait to be taken. While the owner is
    // not there, a connection is tried once a second.
    PipeClient(HWND window, UINT message);
    ~PipeClient();
    PipeClient(const PipeClient&) = delete;
    PipeClient& operator=(const PipeClient&) = delete;

    // From the window's thread: the frame is written once the connection takes it; frames
    // for a connection that breaks are dropped with it.
    void Send(std::string frame);
    std::vector<Event> Take();
    // From the window's thread: drops the connection (a frame it could not read) and tries
    // again.
    void Reconnect();

  private:
    void Run();
    void Serve(HANDLE pipe);
    void Push(Event e);

    const HWND window_;
    const UINT message_;
    OwnedHandle stop_;
    OwnedHandle wake_;  // a frame to send, or a reconnect asked for
    std::mutex mutex_;
    std::vector<Event> events_;
    std::deque<std::string> outbox_;
    bool reconnect_ = false;
    std::thread thread_;
};

}  // namespace kelvane::win32
