#pragma once
// The run-time error policies, each in one place, so every event entry point reads as
// "what it does" plus "which policy contains its failures".
#include <utility>

#include "base/runtime_error.h"

namespace kelvane {

// Runs one step; a run-time error ends only that step. Returns whether it completed.
// Start-up uses it for every step from the third on; loops use it per element.
template <typename Step>
bool SkipOnError(Step&& step) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// An event handler without a policy of its own: the failure ends the handler and never the
// process. Same mechanics as SkipOnError, named for the call sites that contain rather than skip.
template <typename Handler>
bool ContainErrors(Handler&& handler) {
    return SkipOnError(std::forward<Handler>(handler));
}

}  // namespace kelvane
