#pragma once
// The real main window: a passive view of Form1's control model. It creates the window and
// its child controls, forwards each message to the matching handler of the logic and then
// shows whatever the model says.
#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_shell.h"
#include "app/tray_status.h"
#include "failsafe/fan_watch.h"
#include "state/form1.h"
#include "win32/dib_surface.h"
#include "win32/handles.h"
#include "win32/picture.h"
#include "win32/tray_icon.h"

namespace kelvane::win32 {

class MainView final : public WindowHost, public Surfaces, public AppShell {
  public:
    // `notify` reaches the notification area (Shell_NotifyIconA unless a test records).
    MainView(HINSTANCE instance, bool previous_instance,
             TrayIcon::Notify notify = &Shell_NotifyIconA);
    ~MainView() override;
    MainView(const MainView&) = delete;
    MainView& operator=(const MainView&) = delete;

    // Creates the hidden window from the form's design model; from then on the tray icon
    // follows the form's state after every tick.
    void Create(Form1& form);
    // Timer1 starts only once start-up has passed: a fatal start-up message box pumps
    // messages, and no tick may touch the chip of a program that never started.
    void StartMonitorTimer();
    // The watch that hands the fans back when the window unloads and checks the chip on
    // resume; it outlives the window.
    void Watch(FanWatch& watch) { watch_ = &watch; }
    HWND hwnd() const { return hwnd_; }
    // Runs after every event: the real window follows the model, and the tray icon is there.
    void AfterEvent();
    // A view of another process that drives the chip: its balloons come from the owner.
    void BecomeView() { tray_status_.LeaveBalloonsToOwner(); }
    void ShowBalloon(const std::string& title, const std::string& text) {
        tray_.ShowBalloon(title, text);
    }

    // WindowHost
    void SetTopmost(bool topmost) override;
    void DoEvents() override;
    void Activate() override;
    void GreyCloseItem() override;
    void ShowModel() override;
    int WorkAreaWidthPixels() override;
    int WorkAreaHeightPixels() override;
    int TwipsPerPixelX() override;
    int TwipsPerPixelY() override;
    bool LoadPicture(const std::string& path) override;
    std::uintptr_t ForeignForegroundWindow() override;
    void GiveFrontBack(std::uintptr_t window) override;

    // Surfaces
    Surface& LedPic(int n) override;
    Surface& FanLed(int n) override;
    Surface& LedFont(int k) override;
    void Invalidate() override;

    // AppShell
    bool PreviousInstanceRunning() override { return previous_instance_; }
    void ActivatePreviousInstance(const std::string& title) override;
    void PrepareTrayRecord() override;
    bool RegisterHotKey(int id, unsigned modifiers, unsigned virtual_key) override;
    void UnregisterHotKey(int id) override;
    void SubclassMainWindow() override;
    void AddTrayIcon() override;
    void DeleteTrayIcon() override;
    void PopupTrayMenu() override;
    void CloseMainWindow() override;
    void StopMonitorTimer() override;

    // The view's own helpers for the child controls.
    void PaintBackground(HDC dc, int offset_x, int offset_y, int width, int height);
    int ToPixelsX(std::int32_t twips) const;
    int ToPixelsY(std::int32_t twips) const;

  private:
    enum class Kind { Label, Image, Led, Edit, TrayOwner };
    struct Child {
        HWND hwnd = nullptr;
        Control* model = nullptr;
        Kind kind = Kind::Label;
        int label_index = -1;  // KelvaneLabel index, for clicks
        int item_index = -1;   // Image1 index; -1 for the logo
        std::unique_ptr<DibSurface> surface;
        OwnedFont font;
        FontSpec font_spec;
        bool has_font = false;
        RECT rect{};
        std::string text;
        std::string picture;
        bool visible = false;
        std::uint32_t fore = 0, back = 0;
    };

    static LRESULT CALLBACK BaseProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnChildMessage(Child& child, UINT message, WPARAM wparam, LPARAM lparam);
    void AddChild(Control& model, Kind kind, int id, int label_index = -1, int item_index = -1);
    void Sync();
    void SyncWindow();
    void SyncChild(Child& child);
    RECT StatusRect(const Child& child, RECT rect) const;
    void PaintChild(Child& child, HDC dc);
    void Unload();
    Picture* FindPicture(const std::string& path);
    void BuildTrayMenu();

    HINSTANCE instance_;
    bool previous_instance_;
    Form1* form_ = nullptr;
    FanWatch* watch_ = nullptr;
    HWND hwnd_ = nullptr;
    WNDPROC old_proc_ = nullptr;  // g_OldWindowProc
    std::vector<std::unique_ptr<Child>> children_;
    std::array<Child*, 3> led_pic_{}, fan_led_{};
    std::array<std::unique_ptr<DibSurface>, 3> led_font_;
    std::map<std::string, std::unique_ptr<Picture>> pictures_;
    TrayIcon tray_;
    TrayStatus tray_status_{tray_, TrayIcon::kTipField};
    OwnedMenu tray_menu_;
    UINT taskbar_created_ = 0;
    int tpp_x_ = 15, tpp_y_ = 15;
    bool syncing_ = false, resync_ = false, unloading_ = false;
    std::string shown_caption_;
    RECT shown_rect_{};
    std::uint32_t shown_back_ = 0xFFFFFFFF;
    std::string shown_picture_;
};

}  // namespace kelvane::win32
