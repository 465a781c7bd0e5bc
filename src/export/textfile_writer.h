#pragma once
// Writes the metrics file on a thread of its own, so that a slow path (a network share, a
// virus scanner holding the file) delays no tick. The tick builds in its buffer and swaps it
// with the one waiting for the thread, under one lock held only for the swap: while a write
// is under way only the newest text waits and older ones are dropped.
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
    std::string& Buffer() { return text_.bytes; }
    // Takes the first `size` bytes of Buffer() as the newest file for `path`.
    void HandOver(const std::string& path, std::size_t size);
    WriteFailures failures() const;
    // True once every text handed over is written or dropped, within `limit`.
    bool WaitIdle(std::chrono::milliseconds limit) const;

  private:
    struct Text {
        std::string bytes, path;
        std::size_t size = 0;
    };
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    Text text_;  // the tick's
    std::thread thread_;
};

}  // namespace kelvane
