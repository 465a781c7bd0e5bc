// Any text as kelvane.ini, on each of the three fan-control layouts: LoadSettings may stop
// only at a key that does not fit (Overflow) or that a control refuses (InvalidProperty), and
// whatever it applied before stopping must be something a real window can hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/load_settings.h"
#include "base/runtime_error.h"
#include "board/board.h"
#include "state/controls.h"
#include "support/fakes.h"

namespace {

using kelvane::Control;
using kelvane::ErrorKind;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "load settings: %s\n", what.c_str());
    std::abort();
}

constexpr std::size_t kMaxText = 1023;

bool ValidColor(std::uint32_t c) { return c <= 0xFFFFFF || (c >= 0x80000000u && c <= 0x80000018u); }

// The name is only built for a failure: the checks run three times per input.
void CheckControl(const Control& c, const char* array, std::size_t index) {
    const char* fault = c.width < 0 || c.height < 0                              ? "negative size"
                        : !(c.font.size >= 1 && c.font.size <= 2048)             ? "font size"
                        : !ValidColor(c.fore_color) || !ValidColor(c.back_color) ? "colour"
                        : c.caption.size() > kMaxText || c.tag.size() > kMaxText ? "text too long"
                                                                                 : nullptr;
    if (fault != nullptr) Fail(std::string(array) + "(" + std::to_string(index) + "): " + fault);
}

template <typename Array>
void CheckAll(const Array& controls, const char* name) {
    for (std::size_t i = 0; i < controls.size(); ++i) CheckControl(controls[i], name, i);
}

bool IsRecordTag(const std::string& tag) { return tag == "0" || tag == "1" || tag == "2"; }

void CheckForm(const kelvane::Form1& f) {
    const kelvane::MainWindowModel& w = f.window;
    if (w.width < 0 || w.height < 0) Fail("window: negative size");
    if (!ValidColor(w.back_color)) Fail("window: colour");
    CheckAll(w.KelvaneLabel, "KelvaneLabel");
    CheckAll(w.TempLabel, "TempLabel");
    CheckAll(w.LedPic, "LedPic");
    CheckAll(w.FanLed, "FanLed");
    CheckAll(w.Image1, "Image1");
    CheckControl(w.Logo, "Logo", 0);
    // The pairing only ever names a heading, so the display's record is always one of three.
    for (const Control& led : w.LedPic)
        if (!IsRecordTag(led.tag)) Fail("LedPic tag names no record: " + led.tag);

    const kelvane::Settings& s = f.settings;
    if (s.g_AboutText.size() > kMaxText) Fail("about text too long");
    for (int i = 0; i < 3; ++i) {
        const auto& def = s.g_DefaultFanCtrl[static_cast<std::size_t>(i)];
        const auto& cur = s.g_FanCtrl[static_cast<std::size_t>(i)];
        if (def.Modulate.size() > kMaxText) Fail("Modulate too long");
        // The heading caption plus " Fan".
        if (def.Caption.size() > kMaxText + 4 || cur.Caption.size() > kMaxText + 4)
            Fail("fan caption too long");
        if (!cur.Caption.empty() && cur.Caption != def.Caption) Fail("fan caption not copied");
    }
}

// The services LoadSettings never touches are built once: a fresh Rig per input would spend
// most of the run painting its LED surfaces.
struct Unused {
    kelvane::testing::FakeProcesses processes;
    kelvane::testing::FakeClock clock;
    kelvane::testing::FakeRegistry registry;
    kelvane::testing::FakeSound sound;
    kelvane::testing::FakeHost host;
    kelvane::testing::FakeWindows windows;
    kelvane::testing::FakeSurfaces surfaces;
    kelvane::testing::InlineThreads threads;
};

// The loader only reads the profile, so the three layouts share one parse of the input.
void Load(kelvane::Profile& profile, bool newer, bool delta) {
    static Unused unused;
    kelvane::board::Board board;
    kelvane::testing::FakeFiles files;
    kelvane::Services services{board,          profile,         files,         unused.processes,
                               unused.clock,   unused.registry, unused.sound,  unused.host,
                               unused.windows, unused.surfaces, unused.threads};
    kelvane::Form1 form(services, kelvane::testing::kProgramFolder, "kelvane");
    form.KelvaneFanFlag = kelvane::Flag(newer);
    form.KelvaneFanSpecialFlag = kelvane::Flag(delta);
    try {
        kelvane::LoadSettings(form);
    } catch (const kelvane::RuntimeError& e) {
        if (e.kind() != ErrorKind::Overflow && e.kind() != ErrorKind::InvalidProperty)
            Fail(std::string("stopped by ") + kelvane::ErrorKindName(e.kind()));
    } catch (...) {
        Fail("a foreign exception escaped");
    }
    CheckForm(form);
    // Only the settings file is read; the port program file is absent and is not created.
    if (!files.files.empty() || !files.appended_paths.empty()) Fail("touched a file");
    if (!board.accesses().empty()) Fail("touched the chip without a port program");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::IniText profile(std::string(reinterpret_cast<const char*>(data), size));
    profile.SetReadOnly(true);
    Load(profile, false, false);
    Load(profile, true, false);
    Load(profile, true, true);
    return 0;
}
