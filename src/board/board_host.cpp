#include "board/board_host.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "board/tone_wav.h"

namespace kelvane::board {
namespace {

// Silence kept between two tunes in the rendering; longer pauses are shortened to it.
constexpr long long kLongestGapMs = 2000;

void AppendLine(const std::string& path, const std::string& line) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << line << '\n';
}

}  // namespace

BoardHost::BoardHost(HostFiles files, std::uint32_t pid, Clock now_ms, Reporter report)
    : files_(std::move(files)),
      pid_(pid),
      now_(std::move(now_ms)),
      report_(std::move(report)),
      board_(Board::DemoDescription()) {
    board_.set_clock(now_);
    board_.set_tone_listener([this](const Tone& t, long long start) { OnTone(t, start); });
    last_poll_ = now_();
    LoadIfChanged();
}

std::uint8_t BoardHost::Serve(const std::function<std::uint8_t()>& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::uint8_t result = 0xFF;
    try {
        const long long now = now_();
        Poll(now);
        result = call();
        Flush(now);
    } catch (...) {
        // A library that throws into its caller would take the program down with it; an
        // unanswered read looks like an empty bus instead.
        board_.clear_accesses();
    }
    return result;
}

bool BoardHost::CrashDue(std::uint16_t port) {
    const long long at = crash_at_call_.load();
    if (at > 0 && ++calls_since_load_ == at) return true;
    int armed = port;
    return crash_at_port_.compare_exchange_strong(armed, -1);
}

void BoardHost::Flush(long long now) {
    if (!files_.trace.empty()) {
        std::ofstream out(files_.trace, std::ios::binary | std::ios::app);
        for (const Board::Access& a : board_.accesses()) out << TraceLine(now, pid_, a) << '\n';
    }
    // The library lives as long as the program: keep nothing that grows.
    board_.clear_accesses();
    board_.clear_tones();
}

std::uint8_t BoardHost::Inb(std::uint16_t port) {
    return Serve([&] { return board_.Inb(port); });
}

void BoardHost::Outb(std::uint16_t port, std::uint8_t value) {
    Serve([&] {
        board_.Outb(port, value);
        return std::uint8_t{0};
    });
}

std::uint8_t BoardHost::ReadReg(std::uint16_t index_port, std::uint8_t reg) {
    return Serve([&] { return board_.ReadReg(index_port, reg); });
}

void BoardHost::WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) {
    Serve([&] {
        board_.WriteReg(index_port, reg, value);
        return std::uint8_t{0};
    });
}

void BoardHost::Poll(long long now) {
    if (now - last_poll_ >= kPollMs) {
        last_poll_ = now;
        LoadIfChanged();
    }
}

std::optional<BoardHost::Stamp> BoardHost::StampOf() const {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(files_.description, ec);
    if (ec) return std::nullopt;
    const auto size = std::filesystem::file_size(files_.description, ec);
    if (ec) return std::nullopt;
    return Stamp{time, size};
}

void BoardHost::LoadIfChanged() {
    if (files_.description.empty()) return;
    // A file that disappears leaves the board as it was.
    const std::optional<Stamp> before = StampOf();
    if (!before || before == loaded_) return;
    std::ifstream in(files_.description, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    // Caught in the middle of being written: take it on a later look.
    if (!in || StampOf() != before) return;
    board_.Reload(text.str());
    loaded_ = before;
    crash_at_call_ = board_.crash_at_call().value_or(0);
    crash_at_port_ = board_.crash_at_port() ? *board_.crash_at_port() : -1;
    calls_since_load_ = 0;
    if (report_)
        for (const std::string& p : board_.problems()) report_(files_.description + ": " + p);
}

void BoardHost::OnTone(const Tone& tone, long long start_ms) {
    if (!files_.speaker.empty()) AppendLine(files_.speaker, SpeakerLine(tone));
    if (!files_.wav.empty()) {
        std::vector<std::uint8_t> samples;
        if (last_tone_end_ >= 0)
            samples = Silence(std::clamp(start_ms - last_tone_end_, 0LL, kLongestGapMs));
        const std::vector<std::uint8_t> wave = SquareWave(tone.frequency_hz, tone.duration_ms);
        samples.insert(samples.end(), wave.begin(), wave.end());
        AppendWav(files_.wav, samples);
    }
    last_tone_end_ = start_ms + tone.duration_ms;
}

}  // namespace kelvane::board
