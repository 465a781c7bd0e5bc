#include "chip/tune_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

#include "base/job_thread.h"
#include "base/runtime_error.h"
#include "board/board.h"

namespace kelvane {
namespace {

using namespace std::chrono_literals;

// Each note's sleep waits until the test opens the gate, so a tune can be caught playing.
class GateClock : public Clock {
  public:
    void Sleep(long ms) override {
        std::unique_lock<std::mutex> lock(mutex_);
        sleeps_.push_back(ms);
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    std::string ShortDate() override { return {}; }
    std::string LongTime() override { return {}; }
    std::int64_t UnixSeconds() override { return 0; }
    int UtcOffsetMinutes(std::int64_t) override { return 0; }

    void Open() {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool WaitForSleeps(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return sleeps_.size() >= n; });
    }
    std::vector<long> sleeps() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return sleeps_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<long> sleeps_;
    bool open_ = false;
};

// The driver library failing from one timer write on, as it does when it is unloaded.
class FailingDriver : public PortDriver {
  public:
    explicit FailingDriver(PortDriver& inner) : inner_(inner) {}
    int fail_from = 1 << 30;  // the 0x42 write that fails first
    std::uint8_t Inb(std::uint16_t port) override { return inner_.Inb(port); }
    void Outb(std::uint16_t port, std::uint8_t value) override {
        if (port == 0x42 && ++timer_writes_ >= fail_from)
            throw RuntimeError(ErrorKind::LibraryCall, "Outb");
        inner_.Outb(port, value);
    }
    std::uint8_t ReadReg(std::uint16_t p, std::uint8_t r) override { return inner_.ReadReg(p, r); }
    void WriteReg(std::uint16_t p, std::uint8_t r, std::uint8_t v) override {
        inner_.WriteReg(p, r, v);
    }

  private:
    PortDriver& inner_;
    int timer_writes_ = 0;
};

// Tells when Stop has come as far as waiting for the tune's thread.
class WatchedThreads : public JobThread {
  public:
    void Join() override {
        joins.fetch_add(1);
        JobThread::Join();
    }
    std::atomic<int> joins{0};
};

struct PlayerRig {
    board::Board board{"[Speaker]\nPort61=0xA4\n"};
    FailingDriver driver{board};
    i16 index_port = 0x295;
    ChipAccess chip{driver, index_port};
    GateClock clock;
    WatchedThreads threads;
    TunePlayer player{chip, clock, threads};
    struct Opener {
        GateClock& clock;
        ~Opener() { clock.Open(); }  // before the player stops
    } opener{clock};

    std::vector<int> Divisors() const {
        std::vector<int> d;
        for (const board::Tone& t : board.tones()) d.push_back(t.divisor);
        return d;
    }
    bool WaitQuiet() {
        for (int i = 0; i < 1000 && player.Busy(); ++i) std::this_thread::sleep_for(10ms);
        return !player.Busy();
    }
};

const std::vector<int> kTune = {1329, 1184, 1491, 2983, 1992};
const std::vector<long> kLengths = {150, 150, 150, 150, 300};

std::vector<int> Times(const std::vector<int>& v, int n) {
    std::vector<int> all;
    for (int i = 0; i < n; ++i) all.insert(all.end(), v.begin(), v.end());
    return all;
}

TEST(TunePlayer, OnePlaysOneWaitsTheRestAreIgnored) {
    PlayerRig r;
    const TunePlayer::Tune tune = StandardAlarmTune();
    ASSERT_EQ(r.player.Play(tune), TunePlayer::Request::Started);
    ASSERT_TRUE(r.clock.WaitForSleeps(1));  // the first note sounds, off this thread
    EXPECT_TRUE(r.player.Busy());
    EXPECT_TRUE(r.board.sounding());
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Queued);
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Ignored);
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Ignored);
    r.clock.Open();
    ASSERT_TRUE(r.WaitQuiet());
    r.threads.Join();
    // The waiting tune follows the playing one, note for note; the ignored ones never play.
    EXPECT_EQ(r.Divisors(), Times(kTune, 2));
    std::vector<long> twice = kLengths;
    twice.insert(twice.end(), kLengths.begin(), kLengths.end());
    EXPECT_EQ(r.clock.sleeps(), twice);
    EXPECT_FALSE(r.board.sounding());
    EXPECT_EQ(r.board.Inb(0x61), 0xA4);  // the other bits as they were

    // Quiet again, the next request starts at once.
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Started);
    ASSERT_TRUE(r.WaitQuiet());
    r.threads.Join();
    EXPECT_EQ(r.Divisors(), Times(kTune, 3));
}

TEST(TunePlayer, StopEndsAfterTheNoteInProgressAndStaysStopped) {
    PlayerRig r;
    const TunePlayer::Tune tune = StandardAlarmTune();
    r.player.Play(tune);
    ASSERT_TRUE(r.clock.WaitForSleeps(1));
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Queued);
    const int joins = r.threads.joins.load();
    std::thread unload([&] { r.player.Stop(); });
    while (r.threads.joins.load() == joins) std::this_thread::sleep_for(1ms);
    // Stop waits for the first note, which still sounds; the waiting tune is dropped.
    EXPECT_TRUE(r.board.sounding());
    EXPECT_TRUE(r.player.Busy());
    r.clock.Open();
    unload.join();
    EXPECT_FALSE(r.player.Busy());
    EXPECT_EQ(r.Divisors(), (std::vector<int>{1329}));
    EXPECT_FALSE(r.board.sounding());
    EXPECT_EQ(r.player.Play(tune), TunePlayer::Request::Ignored);
    EXPECT_EQ(r.clock.sleeps().size(), 1u);
}

TEST(TunePlayer, ADriverFailingMidTuneEndsThatTuneQuietlyAndTheNextPlays) {
    PlayerRig r;
    r.clock.Open();
    r.driver.fail_from = 5;  // the third note's low byte
    const TunePlayer::Tune tune = StandardAlarmTune();
    r.player.Play(tune);
    ASSERT_TRUE(r.WaitQuiet());
    r.threads.Join();
    // The gate was on again with the old count when the write failed: a blip of it, then off.
    const std::vector<int> cut = {1329, 1184, 1184};
    EXPECT_EQ(r.Divisors(), cut);
    EXPECT_FALSE(r.board.sounding());
    r.driver.fail_from = 1 << 30;
    r.player.Play(tune);
    ASSERT_TRUE(r.WaitQuiet());
    r.threads.Join();
    std::vector<int> then = cut;
    then.insert(then.end(), kTune.begin(), kTune.end());
    EXPECT_EQ(r.Divisors(), then);
    EXPECT_FALSE(r.board.sounding());
}

}  // namespace
}  // namespace kelvane
