#pragma once
// Writes the metrics file on a thread of its own, so that a slow path (a network share, a
// virus scanner holding the file) delays no tick. Three buffers take turns: the tick builds
// in one, the thread writes another, and the third holds the newest text not yet taken. A
// hand-over is one atomic exchange of buffer numbers, so while a write is under way only the
// newest text waits and older ones are dropped.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "export/export_services.h"

namespace kelvane {

struct WriteFailures {
    long count = 0;
    std::string path;          // of the last failure; empty while none failed
    bool last_failed = false;  // the latest write
};

class TextFileWriter {
  public:
    explicit TextFileWriter(FileReplacer& files);
    // Waits a little for a write under way, then leaves it to finish on its own: a hanging
    // file system must not hold up the end of the program either.
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // The buffer to build the next text in; HandOver takes it.
    std::string& Buffer();
    // Takes the first `size` bytes of Buffer() as the newest file for `path`.
    void HandOver(const std::string& path, std::size_t size);
    WriteFailures failures() const;
    // True once every text handed over is written or dropped, within `limit`.
    bool WaitIdle(std::chrono::milliseconds limit) const;

  private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    unsigned back_ = 0;  // the tick's buffer
    std::thread thread_;
};

}  // namespace kelvane
