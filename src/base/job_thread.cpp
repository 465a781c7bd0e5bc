#include "base/job_thread.h"

#include <utility>

namespace kelvane {

void JobThread::Start(std::function<void()> job) {
    Join();
    thread_ = std::thread([job = std::move(job)] {
        try {
            job();
        } catch (...) {
            // An exception leaving a thread would end the process.
        }
    });
}

void JobThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace kelvane
