#pragma once
// The owner's side after every tick: the state frame for every view, handed to whoever
// queues it for the connected views.
#include <functional>
#include <string_view>

#include "app/tray_status.h"
#include "link/published_state.h"
#include "link/wire.h"
#include "state/form1.h"

namespace kelvane::link {

class StatePublisher final : public TickListener {
  public:
    // The frame lives until the next tick; whoever keeps it copies it.
    explicit StatePublisher(std::function<void(std::string_view frame)> send)
        : send_(std::move(send)) {}
    void AfterTick(const Form1& f) override;

  private:
    std::function<void(std::string_view)> send_;
    // Kept from tick to tick, so that a tick's state reuses the buffers of the last.
    PublishedState state_;
    TrayTipCache tips_;
    WireWriter frame_{1024};
};

}  // namespace kelvane::link
