#include "link/state_publisher.h"

#include "app/about_details.h"
#include "link/messages.h"

namespace kelvane::link {

std::string StatePublisher::Start(const Form1& f, std::string owner) {
    started_ = true;
    ticks_to_about_check_ = kAboutCheckTicks;
    owner_ = std::move(owner);
    details_ = AboutDetails(f);
    layout_frame_ = Encode(LayoutOf(f));
    about_frame_ = Encode(AboutMessage{owner_, details_});
    return layout_frame_ + about_frame_;
}

void StatePublisher::AfterTick(const Form1& f) {
    if (started_ && --ticks_to_about_check_ <= 0) {
        ticks_to_about_check_ = kAboutCheckTicks;
        std::vector<std::string> details = AboutDetails(f);
        if (details != details_) {
            details_ = std::move(details);
            about_frame_ = Encode(AboutMessage{owner_, details_});
            send_(about_frame_);
            Regreet();
        }
    }
    StateInto(f, state_, tips_);
    EncodeStateInto(state_, frame_);
    send_(frame_.bytes());
}

void StatePublisher::AfterApply(const Form1& f) {
    if (!started_) return;
    layout_frame_ = Encode(LayoutOf(f));
    send_(layout_frame_);
    Regreet();
}

void StatePublisher::Regreet() {
    if (greet_) greet_(layout_frame_ + about_frame_);
}

}  // namespace kelvane::link
