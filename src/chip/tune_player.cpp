#include "chip/tune_player.h"

namespace kelvane {

TunePlayer::Request TunePlayer::Play(const Tune& tune) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) return Request::Ignored;
        if (playing_) {
            if (waiting_) return Request::Ignored;
            waiting_ = tune;
            return Request::Queued;
        }
        playing_ = tune;
    }
    threads_.Start([this] { Run(); });
    return Request::Started;
}

void TunePlayer::Stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        waiting_.reset();
    }
    threads_.Join();
}

bool TunePlayer::Busy() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return playing_.has_value();
}

bool TunePlayer::Stopped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

std::optional<TunePlayer::Tune> TunePlayer::Next() {
    const std::lock_guard<std::mutex> lock(mutex_);
    playing_ = stopped_ ? std::nullopt : waiting_;
    waiting_.reset();
    return playing_;
}

void TunePlayer::Run() {
    std::optional<Tune> tune;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tune = playing_;
    }
    for (; tune; tune = Next()) {
        try {
            for (NoteRecord& note : *tune) {
                if (Stopped()) break;
                PlayNote(chip_, clock_, note);
            }
        } catch (...) {
            // A driver that fails mid-note may leave the speaker sounding; the monitor
            // reports the outage on its own.
            try {
                SpeakerOff(chip_);
            } catch (...) {
            }
        }
    }
}

}  // namespace kelvane
