#pragma once
// The History window: three plots over one time axis (temperatures, fan speeds, voltages),
// drawn with GDI into a memory bitmap. Everything it shows comes from the portable history;
// this file only draws it and turns mouse and keys into the view's moves.
#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "history/history.h"
#include "history/span.h"
#include "history/view_state.h"
#include "state/form1.h"

namespace kelvane::win32 {

inline constexpr const char* kHistoryTitle = "History (Kelvane Ver 5.07)";

class HistoryWindow {
  public:
    // `idle`: called each time the last running handler of the window has returned.
    HistoryWindow(HINSTANCE instance, Form1& form, history::History& history, FileSystem& files,
                  std::function<void()> idle = {});
    ~HistoryWindow();
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    void Show();
    void Hide() { ShowWindow(hwnd_, SW_HIDE); }
    HWND hwnd() const { return hwnd_; }
    // A handler is running, perhaps in the modal loop of the save dialog: the window must
    // outlive it.
    bool Busy() const { return depth_ > 0; }
    std::size_t HeldBytes() const;  // the rows and columns it keeps for the plots

    // In a view the ring and the data folder are the owner's: the window asks for the span it
    // draws and for the folder to open, and draws the span once it has arrived.
    using AskSpan = std::function<void(std::int64_t begin, std::int64_t end, int columns)>;
    void AskOwner(AskSpan span, std::function<void()> folder);
    void TakeSpan(const history::SpanData& span);

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void Layout();
    void Rebuild();
    void Paint(HDC dc);
    void DrawPlot(HDC dc, int plot);
    void DrawTimeAxis(HDC dc);
    void DrawCrosshair(HDC dc);
    void Choose(history::Span span);
    void ShowSpan();                        // the shown span's button stays pressed
    int ColumnX(std::size_t column) const;  // left edge of a column, in client pixels
    void Save();
    void OpenFolder();
    std::int64_t Now();
    // The day files' rows of the days [begin, end) touches, read again once a minute.
    const std::vector<history::MinuteRow>& DayRows(std::int64_t begin, std::int64_t end);
    std::array<history::Named, history::kReadings> Names() const;
    std::array<bool, history::kReadings> Wanted() const;

    Form1& form_;
    history::History& history_;
    FileSystem& files_;
    history::ViewState view_;
    history::SpanData data_;
    history::DayCache days_;
    const std::vector<history::MinuteRow>* day_rows_ = nullptr;  // held by days_
    std::array<std::int64_t, 3> day_rows_read_{};                // first day, last day, minute
    HWND hwnd_ = nullptr;
    std::array<HWND, history::kSpans> span_buttons_{};
    HWND save_ = nullptr, folder_ = nullptr;
    HFONT font_ = nullptr;  // the stock GUI font, not owned
    std::array<RECT, 3> plots_{};
    RECT axis_{};
    int line_ = 14;  // a text line's height in font_, the unit of the legends and the axis
    int mouse_x_ = -1, mouse_y_ = -1;
    int depth_ = 0;
    std::function<void()> idle_;
    AskSpan ask_span_;
    std::function<void()> ask_folder_;
};

}  // namespace kelvane::win32
