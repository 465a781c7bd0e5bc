#pragma once
// The owner's side after every tick: the state frame for every view, handed to whoever
// queues it for the connected views.
#include <functional>
#include <string>

#include "state/form1.h"

namespace kelvane::link {

class StatePublisher final : public TickListener {
  public:
    explicit StatePublisher(std::function<void(const std::string& frame)> send)
        : send_(std::move(send)) {}
    void AfterTick(const Form1& f) override;

  private:
    std::function<void(const std::string&)> send_;
};

}  // namespace kelvane::link
