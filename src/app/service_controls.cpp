#include "app/service_controls.h"

namespace kelvane {

ServiceAction ServiceControls::On(std::uint32_t control, std::uint32_t event_type) {
    switch (control) {
        case kStop:
        case kPreshutdown:
        case kShutdown:
            return stopping_.exchange(true) ? ServiceAction::None : ServiceAction::BeginStop;
        case kPowerEvent:
            if (stopping_ || (event_type != kResumeAutomatic && event_type != kResumeSuspend))
                return ServiceAction::None;
            return ServiceAction::ResumeCheck;
        case kInterrogate:
            return ServiceAction::None;
        default:
            return ServiceAction::NotHandled;
    }
}

}  // namespace kelvane
