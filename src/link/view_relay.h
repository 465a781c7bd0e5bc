#pragma once
// What the owner's program does to its windows and speakers, done by the host that runs it
// (nothing, in the service) and told to every view, which does it in its own session: the
// cycle's restore of the main window, the warning window, the topmost state, the alarm's
// wave file and the tray balloon. The one home of that forwarding: Program puts it between
// the form and whatever host shows the program.
#include <functional>
#include <string_view>

#include "app/tray_status.h"
#include "state/form1.h"

namespace kelvane::link {

class ViewRelay final : public WindowHost,
                        public OtherWindows,
                        public SoundPlayer,
                        public TickListener {
  public:
    using Send = std::function<void(std::string_view frames)>;
    ViewRelay(WindowHost& host, OtherWindows& windows, SoundPlayer& sound)
        : host_(host), windows_(windows), sound_(sound) {}

    // The form whose messages the warning window and the balloon show.
    void Watch(const Form1& f) { form_ = &f; }
    // The host's own window, for the windows that must be owned by it.
    WindowHost& shown_through() const { return host_; }
    // From the moment the owner serves views; nothing is told before.
    void TellViews(Send send) { send_ = std::move(send); }

    // WindowHost
    void SetTopmost(bool topmost) override;
    void DoEvents() override { host_.DoEvents(); }
    void Activate() override { host_.Activate(); }
    void GreyCloseItem() override { host_.GreyCloseItem(); }
    void ShowModel() override { host_.ShowModel(); }
    int WorkAreaWidthPixels() override { return host_.WorkAreaWidthPixels(); }
    int WorkAreaHeightPixels() override { return host_.WorkAreaHeightPixels(); }
    int TwipsPerPixelX() override { return host_.TwipsPerPixelX(); }
    int TwipsPerPixelY() override { return host_.TwipsPerPixelY(); }
    bool LoadPicture(const std::string& path) override { return host_.LoadPicture(path); }
    std::uintptr_t ForeignForegroundWindow() override { return host_.ForeignForegroundWindow(); }
    void GiveFrontBack(std::uintptr_t window) override { host_.GiveFrontBack(window); }

    // OtherWindows
    void ShowErrorWindow() override;
    void ShowOptions() override { windows_.ShowOptions(); }
    void ShowAbout() override { windows_.ShowAbout(); }
    void ShowHistory() override { windows_.ShowHistory(); }
    void LoadAndHideAll() override { windows_.LoadAndHideAll(); }
    void UnloadAll() override { windows_.UnloadAll(); }
    void RaiseUsersWindows() override;
    void LowerErrorWindow() override { windows_.LowerErrorWindow(); }
    void PolicyChanged(const std::vector<std::size_t>& keys) override {
        windows_.PolicyChanged(keys);
    }

    // SoundPlayer
    void PlayWave(const std::string& path) override;

    // TickListener: the balloon of a lasting fault's first tick. Each view shows it when its
    // own window is out of sight, whatever the owner's window is doing.
    void AfterTick(const Form1& f) override;

  private:
    void Tell(std::string_view frames) const {
        if (send_) send_(frames);
    }

    WindowHost& host_;
    OtherWindows& windows_;
    SoundPlayer& sound_;
    const Form1* form_ = nullptr;
    Send send_;
    EpisodeBalloon balloon_;
};

}  // namespace kelvane::link
