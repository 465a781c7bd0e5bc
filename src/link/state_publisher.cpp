#include "link/state_publisher.h"

#include "link/published_state.h"

namespace kelvane::link {

void StatePublisher::AfterTick(const Form1& f) { send_(EncodeState(StateOf(f))); }

}  // namespace kelvane::link
