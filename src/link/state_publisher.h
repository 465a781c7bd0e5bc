#pragma once
// The owner's side after every tick: the state frame for every view, handed to whoever
// queues it for the connected views; the Layout and About again whenever they change, for
// the views connected and as the greeting of those to come.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/tray_status.h"
#include "link/published_state.h"
#include "link/wire.h"
#include "state/form1.h"

namespace kelvane::link {

class StatePublisher final : public TickListener {
  public:
    using Send = std::function<void(std::string_view frame)>;
    using Greet = std::function<void(std::string greeting)>;
    // The frame lives until the next tick; whoever keeps it copies it.
    explicit StatePublisher(Send send, Greet greet = {})
        : send_(std::move(send)), greet_(std::move(greet)) {}

    // Building the About details costs more than the rest of the state, and they change only
    // with set-up news: they are compared every this many ticks.
    static constexpr int kAboutCheckTicks = 30;

    // The greeting of a view that connects now, Layout then About with `owner` as who drives
    // the chip; from here on a change of the About details goes out within kAboutCheckTicks.
    std::string Start(const Form1& f, std::string owner);

    void AfterTick(const Form1& f) override;
    void AfterApply(const Form1& f) override;

  private:
    void Regreet();

    Send send_;
    Greet greet_;
    // Kept from tick to tick, so that a tick's state reuses the buffers of the last.
    PublishedState state_;
    TrayTipCache tips_;
    WireWriter frame_{1024};
    bool started_ = false;
    int ticks_to_about_check_ = 0;
    std::string owner_;
    std::vector<std::string> details_;
    std::string layout_frame_, about_frame_;
};

}  // namespace kelvane::link
