#include "app/skin_layout.h"

#include <algorithm>
#include <vector>

namespace kelvane {
namespace {

constexpr std::int32_t kMargin = 60;  // between a frame and what it holds
constexpr std::int32_t kUnitWidth = 420;
constexpr std::int32_t kUnitHeight = 180;

TwipRect RectOf(const Control& c) { return {c.left, c.top, c.left + c.width, c.top + c.height}; }

void Take(TwipRect& frame, const TwipRect& r) {
    if (r.empty()) return;
    if (frame.empty()) {
        frame = r;
        return;
    }
    frame.left = std::min(frame.left, r.left);
    frame.top = std::min(frame.top, r.top);
    frame.right = std::max(frame.right, r.right);
    frame.bottom = std::max(frame.bottom, r.bottom);
}

void TakeShown(TwipRect& frame, const Control& c) {
    if (c.visible) Take(frame, RectOf(c));
}

}  // namespace

SkinLayout DesignSkinLayout(const MainWindowModel& w) {
    SkinLayout s;
    for (int i = 0; i < 3; ++i) {
        const Control& fan = w.FanLed[static_cast<std::size_t>(i)];
        if (!fan.visible) continue;
        // Over the display's right end: the designs leave too little room between displays.
        const std::int32_t right = fan.left + fan.width;
        s.rpm[static_cast<std::size_t>(i)] = {right - kUnitWidth, fan.top - kUnitHeight, right,
                                              fan.top};
    }
    for (int g = 0; g < 3; ++g) {
        TwipRect& frame = s.frames[static_cast<std::size_t>(g)];
        TakeShown(frame, w.KelvaneLabel[static_cast<std::size_t>(17 + g)]);  // section title
        TakeShown(frame, w.Image1[static_cast<std::size_t>(g)]);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        TakeShown(s.frames[0], w.KelvaneLabel[i]);  // headings
        TakeShown(s.frames[0], w.LedPic[i]);
        TakeShown(s.frames[1], w.FanLed[i]);
        Take(s.frames[1], s.rpm[i]);
    }
    for (std::size_t v = 0; v < 9; ++v) {
        TakeShown(s.frames[2], w.KelvaneLabel[3 + v]);
        TakeShown(s.frames[2], w.TempLabel[v]);
    }
    // One column of frames, as wide as the widest group.
    std::vector<TwipRect*> shown;
    for (TwipRect& f : s.frames)
        if (!f.empty()) shown.push_back(&f);
    if (shown.empty()) return s;
    std::int32_t left = shown.front()->left, right = shown.front()->right;
    for (const TwipRect* f : shown) {
        left = std::min(left, f->left);
        right = std::max(right, f->right);
    }
    for (TwipRect* f : shown)
        *f = {left - kMargin, f->top - kMargin, right + kMargin, f->bottom + kMargin};
    return s;
}

}  // namespace kelvane
