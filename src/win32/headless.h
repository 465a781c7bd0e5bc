#pragma once
// What a program without windows shows the program through: nothing. The service drives the
// chip, logs and exports headless; the LED digits are drawn into memory no one looks at, so the
// cycle runs the same code as in the window program. What the cycle does to windows and the
// alarm's wave file reach the views through the program's relay; session 0 sees and hears none.
#include <array>
#include <memory>
#include <string>

#include "app/app_shell.h"
#include "chip/surface.h"
#include "state/form1.h"

namespace kelvane::win32 {

// The shell is NoShell's: the one owner of the chip was decided before the program was built.
class Headless final : public WindowHost,
                       public Surfaces,
                       public OtherWindows,
                       public SoundPlayer,
                       public NoShell {
  public:
    Headless();

    // WindowHost
    void SetTopmost(bool) override {}
    void DoEvents() override {}
    void Activate() override {}
    void GreyCloseItem() override {}
    void ShowModel() override {}
    int WorkAreaWidthPixels() override { return 1024; }
    int WorkAreaHeightPixels() override { return 768; }
    int TwipsPerPixelX() override { return 15; }
    int TwipsPerPixelY() override { return 15; }
    bool LoadPicture(const std::string&) override { return false; }
    std::uintptr_t ForeignForegroundWindow() override { return 0; }
    void GiveFrontBack(std::uintptr_t) override {}

    // Surfaces
    Surface& LedPic(int n) override { return *led_pic_.at(static_cast<std::size_t>(n)); }
    Surface& FanLed(int n) override { return *fan_led_.at(static_cast<std::size_t>(n)); }
    Surface& LedFont(int k) override { return *led_font_.at(static_cast<std::size_t>(k)); }
    void Invalidate() override {}

    // OtherWindows
    void ShowErrorWindow() override {}
    void ShowOptions() override {}
    void ShowAbout() override {}
    void ShowHistory() override {}
    void LoadAndHideAll() override {}
    void UnloadAll() override {}
    void RaiseUsersWindows() override {}
    void LowerErrorWindow() override {}

    // SoundPlayer
    void PlayWave(const std::string&) override {}

    // AppShell: the views start the companions in their sessions.
    bool StartsCompanions() override { return false; }

  private:
    std::array<std::unique_ptr<PixelSurface>, 3> led_pic_, fan_led_, led_font_;
};

}  // namespace kelvane::win32
