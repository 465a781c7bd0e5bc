#pragma once
// Threads on the standard library: one job at a time, each on a thread of its own.
#include <thread>

#include "base/platform.h"

namespace kelvane {

class JobThread : public Threads {
  public:
    JobThread() = default;
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;
    ~JobThread() override { Join(); }

    // Joins a job that has ended before starting the next.
    void Start(std::function<void()> job) override;
    void Join() override;

  private:
    std::thread thread_;
};

}  // namespace kelvane
