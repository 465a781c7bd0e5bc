#pragma once
// The alarm tune off the window's thread, so that the window answers while the notes play.
//
// The rule: at most one tune plays and at most one waits. A request while a tune plays is
// queued only when none waits; otherwise it does nothing. The notes, their order and their
// lengths are PlayNote's, one tune after the other.
#include <array>
#include <mutex>
#include <optional>

#include "base/platform.h"
#include "chip/chip_access.h"
#include "chip/speaker.h"

namespace kelvane {

class TunePlayer {
  public:
    using Tune = std::array<NoteRecord, 5>;
    enum class Request { Started, Queued, Ignored };

    TunePlayer(ChipAccess& chip, Clock& clock, Threads& threads)
        : chip_(chip), clock_(clock), threads_(threads) {}
    TunePlayer(const TunePlayer&) = delete;
    TunePlayer& operator=(const TunePlayer&) = delete;
    ~TunePlayer() { Stop(); }

    Request Play(const Tune& tune);
    // For unloading: drops the waiting tune, ends the playing one after its current note and
    // waits for that. Later requests are ignored.
    void Stop();
    bool Busy() const;

  private:
    void Run();
    bool Stopped() const;
    std::optional<Tune> Next();  // the waiting tune becomes the playing one

    ChipAccess& chip_;
    Clock& clock_;
    Threads& threads_;
    mutable std::mutex mutex_;  // guards the three below
    std::optional<Tune> playing_, waiting_;
    bool stopped_ = false;
};

}  // namespace kelvane
