#include "chip/apply_settings.h"

#include <charconv>
#include <optional>
#include <string>

#include "base/rounding.h"
#include "base/runtime_error.h"
#include "chip/autostart.h"

namespace kelvane {
namespace {

// Whether every key reached the file.
bool SaveSettings(const ApplyContext& c) {
    Profile& p = c.profile;
    const Settings& g = c.settings;
    bool saved = true;
    auto put = [&p, &saved](const std::string& section, const char* key, long long v) {
        saved = p.WriteString(section, key, std::to_string(v)) && saved;
    };
    put("Option", "DisplayScale", g.g_DisplayScale);
    put("Option", "DisplayOnTop", g.g_DisplayOnTop);
    put("Option", "ExecuteAtStartup", g.g_ExecuteAtStartup);
    put("Option", "SoundWarnning", g.g_SoundWarnning);
    for (int v = 0; v < 9; ++v) {
        const std::string section = "VIN" + std::to_string(v);
        put(section, "Enable", g.g_Vin[v].Enable);
        put(section, "Percent", g.g_Vin[v].Percent);
    }
    const auto keys = FanSetPointKeys(IsTrue(c.newer_layout), IsTrue(c.delta_temp));
    for (int n = 0; n < 3; ++n) {
        const std::string section = "Fan Ctrl Option " + std::to_string(n);
        FanCtrlRecord r = g.g_FanCtrl[n];
        saved = p.WriteString(section, "Caption", r.Caption) && saved;
        put(section, "Mode", r.Mode);
        put(section, "SwFan", r.SwFan);
        put(section, "TmpAlarm", r.TmpAlarm);
        for (const FanSetPointKey& k : keys) put(section, k.key, FanSetPointField(r, k));
    }
    return saved;
}

std::optional<long long> TagNumber(const std::string& tag) {
    long long n = 0;
    const char* end = tag.data() + tag.size();
    const auto [ptr, ec] = std::from_chars(tag.data(), end, n);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return n;
}

// A value bound for a register or a field narrower than one: a wider value would spill into
// the neighbouring bits, so it is refused like any other value that does not fit.
long long Field(long long v, long long max) {
    if (v < 0 || v > max) Raise(ErrorKind::Overflow, "register field");
    return v;
}

// Checks every value the fan's programming will write before the first write, so a bad
// one leaves the fan as the board had it rather than half programmed.
void CheckFanValues(const ApplyContext& c, const FanCtrlRecord& r, long long selector) {
    if (r.Mode != 0) {
        Field(r.SwFan, 0x7F);
        return;
    }
    Field(selector | 0x80, 0xFF);
    if (!IsTrue(c.newer_layout)) {
        for (const i16 s : r.S) Field(s, 0xFF);
        for (const i16 speed : r.Speed) Field(speed, 0xFF);
        return;
    }
    for (int k = 0; k < 3; ++k) Field(r.S[k], 0xFF);
    Field(r.Speed[0], 0x7F);
    if (IsTrue(c.delta_temp)) Field(r.S[4], 0x1F);
}

// The delta-temperature chip's slope has seven bits (B+4 bits 0..5, B+3 bit 7); a steeper or
// falling ramp would wrap into a flat or wrong one, so it gets the steepest.
int SevenBitSlope(i16 slope) { return slope >= 0 && slope <= 0x7F ? slope : 0x7F; }

// The chip's writes for one fan, noted in its record as they go through.
class FanWriter {
  public:
    FanWriter(ChipAccess& chip, ApplyRecord* record, FanApplyRecord* fan)
        : chip_(chip), record_(record), fan_(fan) {}
    void WriteReg(long long reg, long long value) {
        chip_.WriteReg(reg, value);
        if (record_ == nullptr) return;
        const auto r = static_cast<std::uint8_t>(reg);
        const auto v = static_cast<std::uint8_t>(value);
        fan_->Note(r, v);
        record_->left[r] = v;
    }
    std::uint8_t ReadReg(long long reg) { return chip_.ReadReg(reg); }

  private:
    ChipAccess& chip_;
    ApplyRecord* record_;
    FanApplyRecord* fan_;
};

void ProgramNewerLayout(const ApplyContext& c, FanWriter& chip, FanCtrlRecord& r, int b) {
    const bool delta_temp = IsTrue(c.delta_temp);
    for (int k = 0; k < 3; ++k) chip.WriteReg(b + k, r.S[k]);
    if (delta_temp) {
        const int x = chip.ReadReg(b + 5);
        chip.WriteReg(b + 5, (x & 0xE0) + r.S[4]);
    }
    chip.WriteReg(b + 3, r.Speed[0]);
    if (r.S[2] == r.S[1]) r.S[2] = Add16(r.S[2], 1);  // kept, and saved by the next apply
    const double rise = Sub16(127, r.Speed[0]);
    const double span = Sub16(r.S[2], r.S[1]);
    if (delta_temp) {
        const int slope = SevenBitSlope(RoundToInt16(Divide(rise, span) * 8));
        chip.WriteReg(b + 4, (slope & 0x3F) + 0xC0);
        const int x = chip.ReadReg(b + 3);
        chip.WriteReg(b + 3, (slope & 0x40) * 2 + (x & 0x7F));
    } else {
        chip.WriteReg(b + 4, SlopeCode(RoundToInt16(Divide(rise, span))));
    }
}

void ProgramFan(const ApplyContext& c, long long n) {
    FanCtrlRecord& r = c.settings.g_FanCtrl[static_cast<size_t>(n)];
    const auto selector = TagNumber(c.fan_selector_tags[static_cast<size_t>(n)]);
    if (r.Mode == 0 && !selector) Raise(ErrorKind::Overflow, "fan selector");
    CheckFanValues(c, r, selector.value_or(0));
    // Refused values leave the fan as the apply before left it, and its record with it.
    FanApplyRecord* record = nullptr;
    if (c.record != nullptr) {
        record = &c.record->fans[static_cast<size_t>(n)];
        *record = FanApplyRecord{};
        record->covered = true;
        record->settings = r;
    }
    FanWriter chip(c.chip, c.record, record);
    if (r.Mode != 0) {
        chip.WriteReg(0x15 + n, r.SwFan);
        return;
    }
    chip.WriteReg(0x15 + n, *selector | 0x80);
    const int b = static_cast<int>(0x60 + 8 * n);
    if (IsTrue(c.newer_layout)) {
        ProgramNewerLayout(c, chip, r, b);
        return;
    }
    for (int k = 0; k < 5; ++k) chip.WriteReg(b + k, r.S[k]);
    for (int k = 0; k < 3; ++k) chip.WriteReg(b + 5 + k, r.Speed[k]);
}

}  // namespace

void FanApplyRecord::Note(std::uint8_t reg, std::uint8_t value) {
    if (count < kRoom) writes[static_cast<size_t>(count++)] = {reg, value};
}

std::optional<std::uint8_t> FanApplyRecord::LastWrite(int reg) const {
    std::optional<std::uint8_t> last;
    for (int i = 0; i < count; ++i)
        if (writes[static_cast<size_t>(i)].first == reg)
            last = writes[static_cast<size_t>(i)].second;
    return last;
}

int SlopeCode(int slope) {
    if (slope < 0) return 0xBF;
    if (slope <= 1) return 0xB9;
    if (slope == 2) return 0xBA;
    if (slope <= 4) return 0xBB;
    if (slope <= 8) return 0xBC;
    if (slope <= 16) return 0xBD;
    if (slope <= 32) return 0xBE;
    return 0xBF;
}

void ApplySettings(const ApplyContext& c, i16 save, ApplyOutcome* outcome) {
    ApplySettings(c, save, ApplyScope{}, outcome);
}

void ApplySettings(const ApplyContext& c, i16 save, const ApplyScope& scope,
                   ApplyOutcome* outcome) {
    ApplyOutcome ignored;
    ApplyOutcome& result = outcome != nullptr ? *outcome : ignored;
    if (IsTrue(save)) result.settings_saved = SaveSettings(c);
    for (size_t i = 0; i < 3; ++i) {
        if (!c.heading_visible[i]) continue;
        const auto n = TagNumber(c.heading_tags[i]);
        if (!n || *n < 0 || *n > 2) Raise(ErrorKind::Subscript, "fan of heading");
        if (scope.fans[static_cast<size_t>(*n)]) ProgramFan(c, *n);
    }
    if (scope.topmost) c.window.SetTopmost(IsTrue(c.settings.g_DisplayOnTop));
    if (!scope.autostart) return;
    result.run_value_set =
        ApplyAutostart(c.registry, c.settings.g_ExecuteAtStartup, c.program_path);
}

}  // namespace kelvane
