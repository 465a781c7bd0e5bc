#include "board/board.h"

#include <chrono>

#include "base/runtime_error.h"

namespace kelvane::board {
namespace {

constexpr std::uint16_t kDefaultAddress = 0x295;
constexpr std::uint8_t kDefaultChipId = 0x12;
constexpr std::uint8_t kDefaultRevision = 8;
constexpr std::uint16_t kTimerCounter2 = 0x42;
constexpr std::uint16_t kTimerControl = 0x43;
constexpr std::uint16_t kSpeakerPort = 0x61;

// A machine at rest: temperatures in the thirties and forties, fans at a few thousand rpm
// (divisor 2 each), fan-control blocks that double as the alarm limits, and voltages near
// their nominal values at 16 mV per step.
RegisterFile HealthyRegisters() {
    RegisterFile r{};
    const std::uint8_t voltages[9] = {
        75,   // 1.20 V core
        206,  // 3.30 V
        186,  // +5 V through its 68k/100k divider
        188,  // +12 V through 300k/100k
        60,   // -12 V
        75,   // -5 V
        188,  // 3.0 V standby
        206,  // 3.3 V auxiliary
        188,  // 3.0 V battery
    };
    for (int v = 0; v < 9; ++v) r[0x20 + v] = voltages[v];
    r[0x29] = 38;
    r[0x2A] = 42;
    r[0x2B] = 36;
    r[0x0B] = 0x09;  // divisors 2, 2, 2
    r[0x0D] = 135;   // 5000 rpm
    r[0x0E] = 150;   // 4500 rpm
    r[0x0F] = 180;   // 3750 rpm
    for (int n = 0; n < 3; ++n) {
        r[0x15 + n] = static_cast<std::uint8_t>(0x80 + n);
        const int b = 0x60 + 8 * n;
        r[b + 0] = 30;
        r[b + 1] = 40;
        r[b + 2] = 50;
        r[b + 3] = 60;
        r[b + 4] = 70;
    }
    return r;
}

long long SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Board::Board() : regs_(HealthyRegisters()) {
    const long long origin = SteadyMs();
    clock_ = [origin] { return SteadyMs() - origin; };
}

Board::Board(const std::string& description) : Board() { Reload(description); }

void Board::Reload(const std::string& description) {
    const BoardDescription d = ParseBoardDescription(description);
    Apply(d);
}

void Board::Apply(const BoardDescription& d) {
    config_.set_chip(d.chip_id.value_or(kDefaultChipId), d.revision.value_or(kDefaultRevision));
    config_.set_monitor_index_port(d.address.value_or(kDefaultAddress));
    for (const auto& [r, v] : d.registers) regs_[r] = v;
    holds_.fill(std::nullopt);
    for (const auto& [r, v] : d.holds) holds_[r] = v;
    thermal_.Configure(d.thermal);
    if (d.port61) speaker_.set_port61(*d.port61);
    open_bus_ = d.open_bus;
    crash_at_call_ = d.crash_at_call;
    crash_at_port_ = d.crash_at_port;
    problems_ = d.problems;
}

bool Board::newer_layout() const {
    const std::uint8_t id = config_.chip_id(), rev = config_.revision();
    return !((id == 0x12 && rev < 6) || (id == 0x05 && rev < 4));
}

void Board::set_clock(std::function<long long()> now_ms) { clock_ = std::move(now_ms); }

void Board::set_tone_listener(SpeakerTimer::Listener listener) {
    speaker_.set_listener(std::move(listener));
}

void Board::clear_accesses() {
    accesses_.clear();
    monitor_writes_.clear();
}

std::vector<std::uint8_t> Board::writes_to(std::uint8_t r) const {
    std::vector<std::uint8_t> values;
    for (const auto& [reg, value] : monitor_writes_)
        if (reg == r) values.push_back(value);
    return values;
}

void Board::CheckWorking() const {
    if (failing_) Raise(ErrorKind::LibraryCall, "simulated board failing");
}

void Board::Advance() { thermal_.Advance(regs_, newer_layout(), Now()); }

std::uint8_t Board::Read(std::uint16_t port) {
    std::uint8_t v = 0xFF;
    const std::uint16_t monitor = address();
    if (port == monitor) {
        v = selected_;
    } else if (port == static_cast<std::uint16_t>(monitor + 1)) {
        v = holds_[selected_].value_or(regs_[selected_]);
    } else if (port == ConfigSpace::kIndexPort || port == ConfigSpace::kDataPort) {
        v = config_.Read(port);
    } else if (port == kSpeakerPort) {
        v = speaker_.ReadPort61();
    }
    return open_bus_.value_or(v);
}

void Board::Write(std::uint16_t port, std::uint8_t value) {
    const std::uint16_t monitor = address();
    if (port == monitor) {
        selected_ = value;
    } else if (port == static_cast<std::uint16_t>(monitor + 1)) {
        regs_[selected_] = value;
    } else if (port == ConfigSpace::kIndexPort || port == ConfigSpace::kDataPort) {
        config_.Write(port, value);
    } else if (port == kTimerControl) {
        speaker_.WriteControl(value);
    } else if (port == kTimerCounter2) {
        speaker_.WriteCounter(value, Now());
    } else if (port == kSpeakerPort) {
        speaker_.WritePort61(value, Now());
    }
}

std::uint8_t Board::Inb(std::uint16_t port) {
    CheckWorking();
    Advance();
    const std::uint8_t v = Read(port);
    accesses_.push_back({Access::Kind::Inb, port, 0, v});
    return v;
}

void Board::Outb(std::uint16_t port, std::uint8_t value) {
    CheckWorking();
    Advance();
    Write(port, value);
    accesses_.push_back({Access::Kind::Outb, port, 0, value});
}

std::uint8_t Board::ReadReg(std::uint16_t index_port, std::uint8_t reg) {
    CheckWorking();
    Advance();
    Write(index_port, reg);
    const std::uint8_t v = Read(static_cast<std::uint16_t>(index_port + 1));
    accesses_.push_back({Access::Kind::ReadReg, index_port, reg, v});
    return v;
}

void Board::WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) {
    CheckWorking();
    Advance();
    Write(index_port, reg);
    Write(static_cast<std::uint16_t>(index_port + 1), value);
    if (index_port == address()) monitor_writes_.emplace_back(reg, value);
    accesses_.push_back({Access::Kind::WriteReg, index_port, reg, value});
}

std::string Board::DemoDescription() {
    return "; The machine shown when no board description exists.\n"
           "[Chip]\n"
           "Id=0x12\n"
           "Revision=8\n"
           "Address=0x295\n"
           "[Thermal]\n"
           "Enabled=1\n"
           "Ambient=28\n"
           "Heat0=30\n"
           "Heat1=45\n"
           "Heat2=20\n"
           "Cooling=60\n"
           "TimeConstant=30\n"
           "MaxRpm0=4800\n"
           "MaxRpm1=5400\n"
           "MaxRpm2=4600\n"
           "StallPwm=2\n"  // the program's slowest fan step (PWM 4) still turns

           "Spin=60\n"  // slow fan steps still count below 255 at divisor 2

           "Wave=10\n"
           "Period=90\n";
}

}  // namespace kelvane::board
