#pragma once
// The options dialog's view: a passive window over Form2's control model. It creates the
// real controls from the model, hands every user action to the model (value controls
// through their setters, so the change handlers and their cascades run) and afterwards
// makes every real control show what the model says.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "options/form2.h"
#include "win32/dialog_kit.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class OptionsWindow final : public Form2Host {
  public:
    // Runs Form_Load. on_unload runs once Ok or Cancel closed the dialog and its last
    // handler has returned; the owner then destroys this object, not before.
    OptionsWindow(HINSTANCE instance, Form1& form, OptionsShared& shared,
                  std::function<void()> on_unload);
    ~OptionsWindow() override;
    OptionsWindow(const OptionsWindow&) = delete;
    OptionsWindow& operator=(const OptionsWindow&) = delete;

    void Show();  // shows it, or brings the open one to the front
    void Hide();
    HWND hwnd() const { return hwnd_; }
    bool Busy() const { return depth_ > 0; }  // a handler of ours is running
    bool Closing() const { return close_requested_; }
    Form2& model() { return dialog_; }
    // The message loop offers each message here first: the dialog manager's keyboard and
    // Ctrl+Tab between pages. True when the message was taken.
    bool PreTranslate(MSG& msg);
    // New policy values are in force: the dialog shows them and greys what they set.
    void PolicyChanged(const std::vector<std::size_t>& keys);

    // Form2Host
    void SetTopmost() override;
    void Close() override;
    void ReportApplyFailure(const std::string& message) override;
    // The owner refused the change a view's Apply sent: told, and "&Apply" can try again.
    void Refused(const std::string& message);

  private:
    enum class Kind { Label, Button, Check, Option, Slider, Text, List, Frame, Tabs };
    struct Binding {
        Kind kind = Kind::Label;
        HWND hwnd = nullptr;
        HWND spin = nullptr;  // a list's arrows
        options::DialogControl* control = nullptr;
        options::Slider* slider = nullptr;
        options::CheckBox* check = nullptr;
        options::OptionButton* option = nullptr;
        options::TextBox* text = nullptr;
        options::ListBox* list = nullptr;
        const bool* exists = nullptr;  // voltage rows exist only once the dialog made them
        int index = -1;                // array index, for the handlers that take one
        std::function<void()> click;   // buttons, check boxes and option buttons
        RECT rect{-1, -1, -1, -1};
        std::string caption;
        bool shown = false, enabled = true, first = true;
        int min = 0, max = -1;
    };

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnControlMessage(Binding& b, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    void CreateControls();
    Binding& Add(Kind kind, options::DialogControl& control, HWND parent, int id, DWORD style = 0,
                 DWORD ex_style = 0);
    Binding& AddLabel(options::DialogControl& control, HWND parent, int id, DWORD align = SS_LEFT);
    Binding& AddButton(options::DialogControl& control, HWND parent, int id,
                       std::function<void()> click);
    Binding& AddCheck(options::CheckBox& box, HWND parent, int id);
    Binding& AddOption(options::OptionButton& button, HWND parent, int id,
                       std::function<void()> click);
    Binding& AddSlider(options::Slider& slider, HWND parent, int id);
    HWND AddFrame(options::DialogControl& frame, HWND parent, int id, FrameLook look);
    Binding* Find(HWND control);

    // Runs a handler of the model, then makes the window follow; never ends the process.
    template <typename Handler>
    void Dispatch(Handler&& handler);
    void AfterEvent();
    void Sync();
    void SyncWindow();
    void SyncTabs();
    void SyncBinding(Binding& b);

    void CommitText(Binding& b);  // the box's text, by the rules of leaving it
    void OnScroll(HWND control);
    void OnListKey(Binding& b, int step);
    void OnTabChange();

    HINSTANCE instance_;
    Form2 dialog_;
    std::function<void()> on_unload_;
    TwipsScale scale_ = TwipsScale::OfScreen();
    OwnedFont font_;  // only while the dialog is drawn smaller than the screen's scale
    HWND hwnd_ = nullptr;
    HWND tabs_ = nullptr;
    std::vector<std::unique_ptr<Binding>> bindings_;
    std::unordered_map<HWND, Binding*> by_hwnd_;
    std::vector<std::string> shown_tabs_;
    RECT shown_rect_{-1, -1, -1, -1};
    FocusKeeper focus_;
    int depth_ = 0;
    bool syncing_ = false, resync_ = false;
    bool close_requested_ = false, unload_reported_ = false, destroying_ = false;
};

}  // namespace kelvane::win32
