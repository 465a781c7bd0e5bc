#include "win32/history_window.h"

#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/failure_policy.h"
#include "chip/led_display.h"
#include "export/metrics_text.h"
#include "history/civil_time.h"
#include "state/channels.h"
#include "win32/fleet_services.h"
#include "win32/handles.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

using history::kFirstFan;
using history::kFirstVolt;
using history::kReadings;
using history::Span;

constexpr const char* kHistoryClass = "KelvaneHistory";
constexpr int kSpanButton = 10;  // + span index
constexpr int kSaveButton = 20;
constexpr int kFolderButton = 21;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kLeft = 64, kRight = 14, kGap = 8;

constexpr std::array<COLORREF, kReadings> kColors = {
    RGB(200, 30, 30), RGB(230, 130, 0),  RGB(130, 60, 170),  // temperatures
    RGB(30, 90, 200), RGB(0, 150, 150),  RGB(60, 150, 40),   // fans
    RGB(200, 30, 30), RGB(230, 130, 0),  RGB(130, 60, 170), RGB(30, 90, 200), RGB(0, 150, 150),
    RGB(60, 150, 40), RGB(150, 100, 40), RGB(200, 60, 160), RGB(90, 90, 90)};
constexpr COLORREF kLasting = RGB(255, 214, 214);
constexpr COLORREF kGapColor = RGB(232, 232, 232);
constexpr COLORREF kGrid = RGB(225, 225, 225);

COLORREF Light(COLORREF c, int percent) {
    const auto mix = [&](int v) { return static_cast<BYTE>(255 - (255 - v) * percent / 100); };
    return RGB(mix(GetRValue(c)), mix(GetGValue(c)), mix(GetBValue(c)));
}

double Celsius(double c) { return c; }
double InFahrenheit(double c) { return ToFahrenheit(c); }

struct Plot {
    const char* title;
    int first, count;
};
constexpr std::array<Plot, 3> kPlots = {
    {{"Temperature", 0, 3}, {"Fan speed (rpm)", kFirstFan, 3}, {"Voltage (V)", kFirstVolt, 9}}};

void Text(HDC dc, int x, int y, const std::string& text, COLORREF color, UINT align = TA_LEFT) {
    SetTextColor(dc, color);
    SetTextAlign(dc, align | TA_TOP);
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
    OwnedBrush brush(CreateSolidBrush(color));
    FillRect(dc, &r, brush.get());
}

// The clock's seconds to a grid step of whole local units, some 120 pixels apart.
std::int64_t TimeStep(std::int64_t span, int width) {
    static constexpr std::int64_t kSteps[] = {60,    120,   300,    600,    900,
                                              1800,  3600,  7200,   10800,  21600,
                                              43200, 86400, 172800, 345600, 604800};
    for (std::int64_t s : kSteps)
        if (s * std::max(width, 1) >= span * 120) return s;
    return 604800;
}

}  // namespace

HistoryWindow::HistoryWindow(HINSTANCE instance, Form1& form, history::History& history,
                             FileSystem& files, std::function<void()> idle)
    : form_(form), history_(history), files_(files), idle_(std::move(idle)) {
    RegisterWindowClass(instance, kHistoryClass, &HistoryWindow::Proc, {nullptr, true});
    hwnd_ = CreateWindowExA(0, kHistoryClass, kHistoryTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, 860, 600, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const auto button = [&](const char* caption, int id, DWORD style = BS_PUSHBUTTON) {
        HWND b = CreateWindowExA(0, "BUTTON", caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                 hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                 nullptr);
        SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return b;
    };
    for (int s = 0; s < history::kSpans; ++s)
        span_buttons_[static_cast<std::size_t>(s)] =
            button(history::SpanName(static_cast<Span>(s)), kSpanButton + s,
                   BS_AUTORADIOBUTTON | BS_PUSHLIKE);
    save_ = button("Save as CSV...", kSaveButton);
    folder_ = button("Open folder", kFolderButton);
    ShowSpan();
    Layout();
    KeepInWorkArea(hwnd_);
}

HistoryWindow::~HistoryWindow() {
    if (!hwnd_) return;
    KillTimer(hwnd_, kRefreshTimer);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

void HistoryWindow::Show() {
    // A window already open keeps the span the user chose in it.
    if (!IsWindowVisible(hwnd_)) {
        view_.OpenAt(history_.ring(), Now());
        ShowSpan();
    }
    Rebuild();
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    SetTimer(hwnd_, kRefreshTimer, 1000, nullptr);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::int64_t HistoryWindow::Now() { return history_.Now() + 1; }

std::size_t HistoryWindow::HeldBytes() const {
    return days_.HeldBytes() + data_.columns.capacity() * sizeof(history::Column);
}

void HistoryWindow::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Everything is measured in the window's font: large fonts grow it, not the pixels.
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE numbers{};
    GetTextExtentPoint32A(dc, "-0000.00", 8, &numbers);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    line_ = std::max<int>(numbers.cy, 1);
    const int left = std::max<int>(kLeft, numbers.cx + 8);

    int x = 8, bar = 24;
    for (HWND b : span_buttons_) {
        const SIZE size = ButtonSize(b, {68, 24});
        MoveWindow(b, x, 6, size.cx, size.cy, TRUE);
        x += size.cx + 4;
        bar = std::max<int>(bar, size.cy);
    }
    const SIZE folder = ButtonSize(folder_, {88, 24}), save = ButtonSize(save_, {100, 24});
    const int folder_x = std::max<int>(x + save.cx + 8, client.right - 8 - folder.cx);
    MoveWindow(folder_, folder_x, 6, folder.cx, folder.cy, TRUE);
    MoveWindow(save_, folder_x - 4 - save.cx, 6, save.cx, save.cy, TRUE);
    bar = std::max<int>({bar, folder.cy, save.cy}) + 10;

    const int legend = line_ + 2, axis = 2 * line_ + 10;
    const int top = bar + 4, bottom = std::max<int>(top + 90, client.bottom - axis);
    const int h = (bottom - top - 2 * kGap) / 3;
    for (int p = 0; p < 3; ++p) {
        const int y = top + p * (h + kGap);
        plots_[static_cast<std::size_t>(p)] = {
            left, y + legend, std::max<int>(left + 10, client.right - kRight), y + h};
    }
    axis_ = {left, plots_[2].bottom, plots_[2].right, client.bottom};
}

void HistoryWindow::Rebuild() {
    const std::int64_t now = Now();
    const std::int64_t end = view_.End(now);
    const std::int64_t begin = end - history::SpanSeconds(view_.span());
    // One column a pixel, but never shorter than what it shows: a second, or a minute.
    const std::int64_t unit = history::FromRing(view_.span()) ? 1 : 60;
    const int columns = static_cast<int>(std::clamp<std::int64_t>(
        plots_[0].right - plots_[0].left, 1, history::SpanSeconds(view_.span()) / unit));
    if (ask_span_) {
        // The last span stays drawn until the owner's answer replaces it.
        ask_span_(begin, end, columns);
        return;
    }
    data_ = history::SpanOf(
        history_.ring(), history_.volts(), begin, end,
        columns, [&]() -> const auto& { return DayRows(begin, end); });
}

const std::vector<history::MinuteRow>& HistoryWindow::DayRows(std::int64_t begin,
                                                              std::int64_t end) {
    const std::int64_t now = Now();
    const int offset = history_.OffsetAt(now);
    const std::array<std::int64_t, 3> read = {history::LocalDay(begin, offset),
                                              history::LocalDay(end, offset), now / 60};
    // Today's file grows once a minute: a short span redrawn every second reads it no more
    // often than that.
    if (!day_rows_ || read != day_rows_read_) {
        day_rows_ = &days_.Rows(files_, history_.folder(), read[0], read[1],
                                history::LocalDay(now, offset));
        day_rows_read_ = read;
    }
    return *day_rows_;
}

std::array<history::Named, kReadings> HistoryWindow::Names() const {
    std::array<history::Named, kReadings> names;
    const char* degrees = Fahrenheit(form_.settings) ? "\260F" : "\260C";
    for (int n = 0; n < 3; ++n) {
        const auto i = static_cast<std::size_t>(n);
        names[i] = {ChannelName(form_, n), degrees};
        names[kFirstFan + i] = {ChannelName(form_, n) + " fan", "rpm"};
    }
    for (int v = 0; v < 9; ++v)
        names[kFirstVolt + static_cast<std::size_t>(v)] = {form_.window.KelvaneLabel[3 + v].caption,
                                                           "V"};
    return names;
}

std::array<bool, kReadings> HistoryWindow::Wanted() const {
    std::array<bool, kReadings> wanted{};
    for (int i = 0; i < kFirstVolt; ++i) wanted[static_cast<std::size_t>(i)] = true;
    for (int v = 0; v < 9; ++v)
        wanted[kFirstVolt + static_cast<std::size_t>(v)] = form_.window.TempLabel[v].visible;
    return wanted;
}

void HistoryWindow::Paint(HDC target) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int w = std::max<int>(client.right, 1), h = std::max<int>(client.bottom, 1);
    // Drawn whole in memory, then copied: no flicker on a redraw every second.
    OwnedDc dc(CreateCompatibleDC(target));
    OwnedBitmap bitmap(CreateCompatibleBitmap(target, w, h));
    HGDIOBJ old_bitmap = SelectObject(dc.get(), bitmap.get());
    HGDIOBJ old_font = SelectObject(dc.get(), font_);
    SetBkMode(dc.get(), TRANSPARENT);
    Fill(dc.get(), client, GetSysColor(COLOR_BTNFACE));
    for (int p = 0; p < 3; ++p) DrawPlot(dc.get(), p);
    DrawTimeAxis(dc.get());
    DrawCrosshair(dc.get());
    BitBlt(target, 0, 0, w, h, dc.get(), 0, 0, SRCCOPY);
    SelectObject(dc.get(), old_font);
    SelectObject(dc.get(), old_bitmap);
}

void HistoryWindow::DrawPlot(HDC dc, int index) {
    const Plot& plot = kPlots[static_cast<std::size_t>(index)];
    const RECT& r = plots_[static_cast<std::size_t>(index)];
    const auto names = Names();
    const auto wanted = Wanted();
    const bool temps = index == 0;
    double (*shown)(double) = temps && Fahrenheit(form_.settings) ? &InFahrenheit : &Celsius;
    if (!temps) shown = &Celsius;

    // What must be in range besides the readings: the limits and the tolerance bands.
    std::vector<double> extra;
    struct Band {
        int input;
        double low, high;
    };
    std::vector<Band> bands;
    // Fans 0 and 1 against the terminal's own baseline at their current step.
    const auto baseline = [&](int reading) {
        const int fan = reading - kFirstFan;
        return index == 1 && fan < 2 && wanted[static_cast<std::size_t>(reading)]
                   ? form_.maintenance.fan_baseline_rpm[static_cast<std::size_t>(fan)]
                   : NAN;
    };
    if (temps) {
        for (const history::Column& c : data_.columns)
            if (!c.gap)
                for (int l : c.limit) extra.push_back(l);
    } else if (index == 1) {
        for (int i = kFirstFan; i < kFirstFan + 2; ++i)
            if (!std::isnan(baseline(i))) extra.push_back(baseline(i));
    } else if (index == 2) {
        for (int v = 0; v < 9; ++v) {
            const VinRecord& vin = form_.settings.g_Vin[static_cast<std::size_t>(v)];
            if (!wanted[kFirstVolt + static_cast<std::size_t>(v)] || vin.Enable == 0 ||
                vin.DefaultTemp == 0)
                continue;
            const double nominal = vin.DefaultTemp / 100.0;
            const double tolerance = std::fabs(nominal) * vin.Percent / 100.0;
            bands.push_back({v, nominal - tolerance, nominal + tolerance});
            extra.push_back(nominal - tolerance);
            extra.push_back(nominal + tolerance);
        }
    }
    const history::Scale scale = history::ScaleFor(data_, plot.first, plot.count, extra, shown);
    const auto y_of = [&](double v) {
        const double f = (shown(v) - scale.low) / (scale.high - scale.low);
        return static_cast<int>(std::lround(r.bottom - f * (r.bottom - r.top)));
    };

    Fill(dc, r, RGB(255, 255, 255));
    // Fault episodes as bands, stretches without readings as grey.
    for (std::size_t c = 0; c < data_.columns.size(); ++c) {
        const history::Column& col = data_.columns[c];
        if (!col.lasting && !col.gap) continue;
        const RECT band{ColumnX(c), r.top, std::max(ColumnX(c + 1), ColumnX(c) + 1), r.bottom};
        Fill(dc, band, col.lasting ? kLasting : kGapColor);
    }
    for (const Band& b : bands) {
        RECT band{r.left, y_of(b.high), r.right, y_of(b.low) + 1};
        Fill(dc, band, Light(kColors[kFirstVolt + static_cast<std::size_t>(b.input)], 14));
    }
    {
        OwnedPen grid(CreatePen(PS_SOLID, 1, kGrid));
        HGDIOBJ old = SelectObject(dc, grid.get());
        for (double v = scale.low; v <= scale.high + scale.step / 2; v += scale.step) {
            const int y = static_cast<int>(std::lround(
                r.bottom - (v - scale.low) / (scale.high - scale.low) * (r.bottom - r.top)));
            MoveToEx(dc, r.left, y, nullptr);
            LineTo(dc, r.right, y);
            const int decimals = scale.step < 1 ? (scale.step < 0.1 ? 2 : 1) : 0;
            Text(dc, r.left - 4, y - line_ / 2, history::FixedText(v, decimals), RGB(60, 60, 60),
                 TA_RIGHT);
        }
        SelectObject(dc, old);
    }

    int legend_x = r.left;
    std::string title = plot.title;
    if (temps) title += Fahrenheit(form_.settings) ? " (\260F)" : " (\260C)";
    Text(dc, legend_x, r.top - line_ - 1, title, RGB(0, 0, 0));
    SIZE size{};
    GetTextExtentPoint32A(dc, title.c_str(), static_cast<int>(title.size()), &size);
    legend_x += size.cx + 12;

    for (int i = plot.first; i < plot.first + plot.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (!wanted[k]) continue;
        const COLORREF color = kColors[k];
        // Minimum to maximum of each column as a light band, the mean as the line.
        std::vector<POINT> band_points, line;
        std::vector<DWORD> band_counts;
        std::vector<std::vector<POINT>> lines;
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            const history::Stat& s = data_.columns[c].stat[k];
            const int x = (ColumnX(c) + std::max(ColumnX(c + 1) - 1, ColumnX(c))) / 2;
            if (data_.columns[c].jump) {
                // No line across a change of the clock; a lone point stays a short dash.
                if (line.size() == 1) line.push_back({line[0].x + 1, line[0].y});
                if (line.size() > 1) lines.push_back(line);
                line.clear();
            }
            if (!s.present) {
                // The line goes on over a late tick's empty column, not over a gap.
                if (!data_.columns[c].gap) continue;
                if (line.size() > 1) lines.push_back(line);
                line.clear();
                continue;
            }
            const int top = y_of(s.max), bottom = y_of(s.min);
            if (bottom - top > 1) {
                band_points.push_back({x, top});
                band_points.push_back({x, bottom});
                band_counts.push_back(2);
            }
            line.push_back({x, y_of(s.mean)});
        }
        if (line.size() == 1) line.push_back({line[0].x + 1, line[0].y});
        if (line.size() > 1) lines.push_back(line);
        if (!band_counts.empty()) {
            OwnedPen pen(CreatePen(PS_SOLID, 1, Light(color, 35)));
            HGDIOBJ old = SelectObject(dc, pen.get());
            PolyPolyline(dc, band_points.data(), band_counts.data(),
                         static_cast<DWORD>(band_counts.size()));
            SelectObject(dc, old);
        }
        OwnedPen pen(CreatePen(PS_SOLID, index == 2 ? 1 : 2, color));
        HGDIOBJ old = SelectObject(dc, pen.get());
        for (const auto& l : lines) Polyline(dc, l.data(), static_cast<int>(l.size()));
        SelectObject(dc, old);
        // The limit each channel was compared with, dashed, where it was read.
        if (temps && i < 2) {
            OwnedPen dashed(CreatePen(PS_DASH, 1, color));
            old = SelectObject(dc, dashed.get());
            std::size_t c = 0;
            while (c < data_.columns.size()) {
                if (data_.columns[c].gap) {
                    ++c;
                    continue;
                }
                const int limit = data_.columns[c].limit[k];
                std::size_t e = c;
                while (e < data_.columns.size() && !data_.columns[e].gap &&
                       (e == c || !data_.columns[e].jump) && data_.columns[e].limit[k] == limit)
                    ++e;
                const int y = y_of(limit);
                MoveToEx(dc, ColumnX(c), y, nullptr);
                LineTo(dc, ColumnX(e), y);
                c = e;
            }
            SelectObject(dc, old);
        }
        if (!std::isnan(baseline(i))) {
            OwnedPen dotted(CreatePen(PS_DOT, 1, color));
            old = SelectObject(dc, dotted.get());
            const int y = y_of(baseline(i));
            MoveToEx(dc, r.left, y, nullptr);
            LineTo(dc, r.right, y);
            SelectObject(dc, old);
        }
        const std::string& name = names[k].name;
        GetTextExtentPoint32A(dc, name.c_str(), static_cast<int>(name.size()), &size);
        if (legend_x + size.cx < r.right) Text(dc, legend_x, r.top - line_ - 1, name, color);
        legend_x += size.cx + 10;
    }
    OwnedPen frame(CreatePen(PS_SOLID, 1, RGB(150, 150, 150)));
    HGDIOBJ old = SelectObject(dc, frame.get());
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left - 1, r.top - 1, r.right + 1, r.bottom + 1);
    SelectObject(dc, old_brush);
    SelectObject(dc, old);
}

int HistoryWindow::ColumnX(std::size_t c) const {
    const long long width = plots_[0].right - plots_[0].left;
    const long long n = std::max<long long>(1, static_cast<long long>(data_.columns.size()));
    return plots_[0].left + static_cast<int>(static_cast<long long>(c) * width / n);
}

void HistoryWindow::DrawTimeAxis(HDC dc) {
    const int width = axis_.right - axis_.left;
    const std::int64_t span = data_.end - data_.begin;
    const int offset = history_.OffsetAt(data_.end);
    const std::int64_t step = TimeStep(span, width);
    // Grid lines at whole local steps.
    const std::int64_t local_begin = data_.begin + offset * 60;
    std::int64_t t = (local_begin / step + 1) * step - offset * 60;
    OwnedPen pen(CreatePen(PS_SOLID, 1, RGB(150, 150, 150)));
    HGDIOBJ old = SelectObject(dc, pen.get());
    for (; t < data_.end; t += step) {
        const int x = axis_.left +
                      static_cast<int>((t - data_.begin) * width / std::max<std::int64_t>(span, 1));
        MoveToEx(dc, x, axis_.top, nullptr);
        LineTo(dc, x, axis_.top + 4);
        Text(dc, x, axis_.top + 4, history::AxisTime(t, offset, view_.span()), RGB(0, 0, 0),
             TA_CENTER);
    }
    SelectObject(dc, old);
    std::string status =
        std::string(history::SpanName(view_.span())) +
        (view_.following() ? " up to now"
                           : " up to " + history::AxisTime(data_.end, offset, Span::Days7)) +
        ".   Left/Right: scroll   End: now   +/-: span";
    if (data_.minutes_until)
        status += "   Before " + history::AxisTime(data_.minutes_until, offset, Span::Hour1) +
                  ": minute averages from the day files.";
    if (history_.unwritable()) status += "   The data folder cannot be written.";
    Text(dc, axis_.left, axis_.top + 6 + line_, status, RGB(60, 60, 60));
}

void HistoryWindow::DrawCrosshair(HDC dc) {
    int hovered = -1;
    for (int p = 0; p < 3; ++p) {
        const RECT& r = plots_[static_cast<std::size_t>(p)];
        if (mouse_x_ >= r.left && mouse_x_ < r.right && mouse_y_ >= r.top && mouse_y_ < r.bottom)
            hovered = p;
    }
    if (hovered < 0) return;
    const int width = std::max<int>(1, plots_[0].right - plots_[0].left);
    const int column = static_cast<int>(static_cast<long long>(mouse_x_ - plots_[0].left) *
                                        static_cast<long long>(data_.columns.size()) / width);
    OwnedPen pen(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
    HGDIOBJ old = SelectObject(dc, pen.get());
    for (const RECT& r : plots_) {
        MoveToEx(dc, mouse_x_, r.top, nullptr);
        LineTo(dc, mouse_x_, r.bottom);
    }
    const RECT& hr = plots_[static_cast<std::size_t>(hovered)];
    MoveToEx(dc, hr.left, mouse_y_, nullptr);
    LineTo(dc, hr.right, mouse_y_);
    SelectObject(dc, old);

    const std::int64_t t = data_.ColumnStart(column);
    std::string when = history::IsoText(t, history_.OffsetAt(t)).substr(0, 19);
    when[10] = ' ';
    std::vector<std::string> lines = {when};
    double (*temperature)(double) = Fahrenheit(form_.settings) ? &InFahrenheit : &Celsius;
    for (std::string& l : history::CrosshairLines(data_, column, Names(), Wanted(), temperature))
        lines.push_back(std::move(l));
    int w = 0;
    for (const std::string& l : lines) {
        SIZE size{};
        GetTextExtentPoint32A(dc, l.c_str(), static_cast<int>(l.size()), &size);
        w = std::max<int>(w, size.cx);
    }
    const int line_h = line_, h = static_cast<int>(lines.size()) * line_h + 8;
    RECT client{};
    GetClientRect(hwnd_, &client);
    int x = mouse_x_ + 14, y = mouse_y_ + 14;
    if (x + w + 12 > client.right) x = mouse_x_ - w - 26;
    if (y + h > client.bottom) y = std::max<int>(0, client.bottom - h);
    RECT box{x, y, x + w + 12, y + h};
    Fill(dc, box, RGB(255, 255, 225));
    FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    for (std::size_t i = 0; i < lines.size(); ++i)
        Text(dc, x + 6, y + 4 + static_cast<int>(i) * line_h, lines[i], RGB(0, 0, 0));
}

void HistoryWindow::ShowSpan() {
    CheckRadioButton(hwnd_, kSpanButton, kSpanButton + history::kSpans - 1,
                     kSpanButton + static_cast<int>(view_.span()));
}

void HistoryWindow::Choose(Span span) {
    view_.Choose(span);
    ShowSpan();
    Rebuild();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void HistoryWindow::Save() {
    const std::int64_t now = Now();
    const int offset = history_.OffsetAt(now);
    char path[MAX_PATH] = {};
    const std::string name = "kelvane-" + history::StampText(now, offset) + ".csv";
    name.copy(path, MAX_PATH - 1);
    const std::string folder = history_.folder().root;
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = "CSV files (*.csv)\0*.csv\0All files\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.lpstrDefExt = "csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn)) return;
    std::string text;
    if (history::FromRing(view_.span())) {
        text = history::RingSpanCsv(history_.ring(), data_.begin, data_.end, offset,
                                    history_.volts(), history_.names());
    } else {
        text = history::MinuteSpanCsv(DayRows(data_.begin, data_.end), data_.begin, data_.end);
    }
    AtomicFileReplacer writer;
    if (!writer.Replace(path, text))
        MessageBoxA(hwnd_, ("The file could not be saved:\n" + std::string(path)).c_str(),
                    kHistoryTitle, MB_OK | MB_ICONWARNING);
}

void HistoryWindow::AskOwner(AskSpan span, std::function<void()> folder) {
    ask_span_ = std::move(span);
    ask_folder_ = std::move(folder);
}

void HistoryWindow::TakeSpan(const history::SpanData& span) {
    data_ = span;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void HistoryWindow::OpenFolder() {
    if (ask_folder_) {
        ask_folder_();
        return;
    }
    const std::string& folder = history_.folder().root;
    files_.MakeFolder(folder);
    ShellExecuteA(hwnd_, "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK HistoryWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<HistoryWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, message, wparam, lparam);
    LRESULT result = 0;
    ++self->depth_;
    // A failure ends the handling of this message only.
    if (!ContainErrors([&] { result = self->OnMessage(message, wparam, lparam); })) result = 0;
    if (--self->depth_ == 0 && self->idle_) self->idle_();
    return result;
}

LRESULT HistoryWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize = {640, 400};
            return 0;
        }
        case WM_SIZE:
            Layout();
            Rebuild();
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            Paint(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_TIMER:
            // The short spans follow every tick; the files change once a minute.
            if (wparam == kRefreshTimer && IsWindowVisible(hwnd_) && view_.following() &&
                (history::FromRing(view_.span()) || Now() % 60 == 1)) {
                Rebuild();
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            return 0;
        case WM_MOUSEMOVE: {
            mouse_x_ = GET_X_LPARAM(lparam);
            mouse_y_ = GET_Y_LPARAM(lparam);
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            TrackMouseEvent(&track);
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        }
        case WM_MOUSELEAVE:
            mouse_x_ = mouse_y_ = -1;
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd_);
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_LEFT || wparam == VK_RIGHT || wparam == VK_END) {
                if (wparam == VK_END)
                    view_.FollowNow();
                else
                    view_.Scroll(wparam == VK_LEFT ? -1 : 1, Now());
                Rebuild();
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            return 0;
        case WM_CHAR:
            if (wparam == '+' || wparam == '=' || wparam == '-') {
                view_.Zoom(wparam == '-' ? 1 : -1, Now());
                ShowSpan();
                Rebuild();
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (id >= kSpanButton && id < kSpanButton + history::kSpans)
                Choose(static_cast<Span>(id - kSpanButton));
            else if (id == kSaveButton)
                Save();
            else if (id == kFolderButton)
                OpenFolder();
            SetFocus(hwnd_);  // the keys belong to the plots, not to the button
            return 0;
        }
        case WM_CLOSE:
            // Closing only hides, and lets go of the month of rows it may have read.
            Hide();
            KillTimer(hwnd_, kRefreshTimer);
            days_.Clear();
            day_rows_ = nullptr;
            data_ = {};
            return 0;
        default:
            return DefWindowProcA(hwnd_, message, wparam, lparam);
    }
}

}  // namespace kelvane::win32
