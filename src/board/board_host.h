#pragma once
// What the stand-in driver library wraps around the simulated board: a description file
// that is re-read when it changes, an access trace and a speaker record, both appended line
// by line so that a test can read them at any moment. Calls never throw.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "board/board.h"
#include "board/host_files.h"

namespace kelvane::board {

class BoardHost {
  public:
    static constexpr long long kPollMs = 200;

    using Clock = std::function<long long()>;
    using Reporter = std::function<void(const std::string&)>;

    // pid: the process the library serves, written on every trace line. now_ms: milliseconds
    // since the library was loaded. report hears description problems.
    BoardHost(HostFiles files, std::uint32_t pid, Clock now_ms, Reporter report = {});

    std::uint8_t Inb(std::uint16_t port);
    void Outb(std::uint16_t port, std::uint8_t value);
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg);
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value);

    // Counts a call at `port` before it is served, without the lock: true for the one call
    // the description's CrashAtCall or CrashAtPort names, which the library then turns into
    // a hard fault.
    bool CrashDue(std::uint16_t port);

    // For tests: the board as the calls left it.
    const Board& board() const { return board_; }

  private:
    struct Stamp {
        std::filesystem::file_time_type time;
        std::uintmax_t size;
        bool operator==(const Stamp&) const = default;
    };

    std::uint8_t Serve(const std::function<std::uint8_t()>& call);
    void Flush(long long now);
    void Poll(long long now);
    void LoadIfChanged();
    std::optional<Stamp> StampOf() const;
    void OnTone(const Tone& tone, long long start_ms);

    std::mutex mutex_;
    HostFiles files_;
    std::uint32_t pid_;
    Clock now_;
    Reporter report_;
    Board board_;
    long long last_poll_ = 0;
    std::optional<Stamp> loaded_;
    long long last_tone_end_ = -1;
    std::atomic<long long> calls_since_load_{0};
    std::atomic<long long> crash_at_call_{0};  // 0: none
    std::atomic<int> crash_at_port_{-1};       // -1: none, or fired
};

}  // namespace kelvane::board
