#pragma once
// The simulated board: a stand-in for the chip behind the port driver, so that the program
// runs without hardware and tests can see every access it makes. It answers the
// hardware-monitor register pair (index port 0x295 unless described otherwise), the Super
// I/O configuration pair 0x2E/0x2F, timer channel 2 (0x42/0x43) with the speaker port 0x61,
// and reads 0xFF on every other port.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/board_description.h"
#include "board/config_space.h"
#include "board/speaker_timer.h"
#include "board/thermal_model.h"
#include "chip/port_driver.h"

namespace kelvane::board {

class Board : public kelvane::PortDriver {
  public:
    // A healthy machine with the thermal model off, so every read is predictable.
    Board();
    explicit Board(const std::string& description);

    std::uint8_t Inb(std::uint16_t port) override;
    void Outb(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) override;
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) override;

    // Hardware-monitor register file, as the last write (or the thermal model) left it.
    std::uint8_t reg(std::uint8_t r) const { return regs_[r]; }
    void set_reg(std::uint8_t r, std::uint8_t v) { regs_[r] = v; }
    // Reads of r answer v whatever is written; writes still land in the register file.
    void hold(std::uint8_t r, std::uint8_t v) { holds_[r] = v; }
    void release(std::uint8_t r) { holds_[r].reset(); }
    // The hardware monitor's index port: where the chip's configuration space puts it.
    std::uint16_t address() const { return config_.monitor_index_port(); }

    struct Access {
        enum class Kind { Inb, Outb, ReadReg, WriteReg } kind;
        std::uint16_t port;
        std::uint8_t reg;  // 0 for Inb and Outb
        std::uint8_t value;
    };
    // Every call that reached the board, in order (calls refused in failing mode did not).
    const std::vector<Access>& accesses() const { return accesses_; }
    void clear_accesses();
    // The values WriteReg put into monitor register r, in order.
    std::vector<std::uint8_t> writes_to(std::uint8_t r) const;

    using Tone = board::Tone;
    const std::vector<Tone>& tones() const { return speaker_.tones(); }
    void clear_tones() { speaker_.clear_tones(); }
    bool sounding() const { return speaker_.sounding(); }
    void set_tone_listener(SpeakerTimer::Listener listener);

    // Every driver call raises RuntimeError(LibraryCall), as a library that is missing or
    // broken would.
    void set_failing(bool failing) { failing_ = failing; }
    // Milliseconds from any origin; by default a steady clock started with the board.
    void set_clock(std::function<long long()> now_ms);

    // Writes the description's [Registers] values over the current ones and replaces the
    // chip identity, the held registers, the thermal model, the speaker port and the faults.
    void Reload(const std::string& description);
    // The call, counted from the last (re)load, at which a library hosting this board fails
    // hard; none when the description names none.
    std::optional<long long> crash_at_call() const { return crash_at_call_; }
    std::optional<std::uint16_t> crash_at_port() const { return crash_at_port_; }
    // What the last description had that was not understood.
    const std::vector<std::string>& problems() const { return problems_; }

    std::uint8_t chip_id() const { return config_.chip_id(); }
    std::uint8_t revision() const { return config_.revision(); }
    bool thermal_enabled() const { return thermal_.enabled(); }
    // The fan-control layout a program that identifies this chip would choose.
    bool newer_layout() const;

    // The machine that the stand-in driver shows when nobody described one: healthy, with
    // the thermal model on.
    static std::string DemoDescription();

  private:
    void Apply(const BoardDescription& d);
    void CheckWorking() const;
    long long Now() const { return clock_(); }
    void Advance();
    std::uint8_t Read(std::uint16_t port);
    void Write(std::uint16_t port, std::uint8_t value);

    RegisterFile regs_{};
    std::array<std::optional<std::uint8_t>, 256> holds_{};
    std::uint8_t selected_ = 0;
    ConfigSpace config_;
    SpeakerTimer speaker_;
    ThermalModel thermal_;
    std::optional<std::uint8_t> open_bus_;
    std::optional<long long> crash_at_call_;
    std::optional<std::uint16_t> crash_at_port_;
    std::vector<Access> accesses_;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> monitor_writes_;
    std::vector<std::string> problems_;
    bool failing_ = false;
    std::function<long long()> clock_;
};

// One line of the access trace: "12 pid=36 ReadReg 0x0295 0x29 = 0x2d". The value stays last,
// so a reader can take the time, the process and the operation from the front.
std::string TraceLine(long long ms, std::uint32_t pid, const Board::Access& access);
// One line of the speaker record: "Tone divisor=1329 frequency=897.8 duration=150".
std::string SpeakerLine(const Tone& tone);

}  // namespace kelvane::board
