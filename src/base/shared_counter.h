#pragma once
// A count that one thread raises and another reads, such as the views the pipe's thread has
// dropped, read by the tick's metrics file.
#include <atomic>
#include <cstdint>

namespace kelvane {

class SharedCounter {
  public:
    void Add() { n_.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t value() const { return n_.load(std::memory_order_relaxed); }

  private:
    std::atomic<std::uint64_t> n_{0};
};

}  // namespace kelvane
