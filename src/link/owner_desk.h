#pragma once
// The owner's answers to its views. The pipe's thread takes a view's request, with what it
// learnt of the view's token, and hands it over; the thread that owns the program state
// answers it between ticks, and the answer goes back to that view alone.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/platform.h"
#include "history/history.h"
#include "history/span.h"
#include "link/authorisation.h"
#include "state/form1.h"

namespace kelvane::link {

struct ViewRequest {
    std::uint64_t client = 0;  // the view the answer goes to
    std::uint16_t type = 0;
    std::string payload;
    TokenFacts token;  // learnt impersonating the view, for a settings change
};

// From the pipe's thread to the owner's: bounded, so a view that floods the owner with
// requests loses its connection, not the owner its memory.
class RequestQueue {
  public:
    static constexpr std::size_t kMaxWaiting = 64;
    // False when the queue is full; the request is not taken.
    bool Put(ViewRequest r);
    std::vector<ViewRequest> TakeAll();

  private:
    std::mutex mutex_;
    std::vector<ViewRequest> waiting_;
};

// Longer spans are not read from the day files: no History window asks for them.
inline constexpr std::int64_t kMaxSpanSeconds = 62LL * 24 * 60 * 60;

class OwnerDesk {
  public:
    OwnerDesk(Form1& f, history::History& history, FileSystem& files)
        : form_(f), history_(history), files_(files) {}

    // The frames answering `r`, for its view only; empty for a frame that asks nothing.
    std::string Answer(const ViewRequest& r);

  private:
    std::string AnswerSettingsChange(const ViewRequest& r);
    std::string AnswerSpan(const ViewRequest& r);

    Form1& form_;
    history::History& history_;
    FileSystem& files_;
    history::DayCache days_;
};

}  // namespace kelvane::link
