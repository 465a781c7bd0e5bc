#include "link/state_publisher.h"

namespace kelvane::link {

void StatePublisher::AfterTick(const Form1& f) {
    StateInto(f, state_, tips_);
    EncodeStateInto(state_, frame_);
    send_(frame_.bytes());
}

}  // namespace kelvane::link
