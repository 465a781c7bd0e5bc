#pragma once
// The options dialog's controls as the logic owns them. Geometry is in twips relative to
// the control's container. Value controls behave like their real counterparts: setting a
// value from anywhere (the logic, or the view passing on what the user did) clamps it to
// the control's range and fires the control's handler only when the value really changes.
// Buttons, mode buttons and text-box key and focus events are plain handler calls.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelvane::options {

struct DialogControl {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    std::string caption;
    std::string tag;
};

using Label = DialogControl;
using Button = DialogControl;
using Frame = DialogControl;

struct TextBox : DialogControl {
    std::string text;
};

// A trackbar. The position never leaves min..max, as a real trackbar's cannot.
class Slider : public DialogControl {
  public:
    std::function<void()> Change;

    std::int32_t min() const { return min_; }
    std::int32_t max() const { return max_; }
    std::int32_t value() const { return value_; }

    void SetValue(long long v);
    // A position beyond the new maximum is pulled in, and that is a change like any other.
    void SetMax(std::int32_t max);
    void SetRange(std::int32_t min, std::int32_t max);

    bool vertical = false;

  private:
    std::int32_t min_ = 0, max_ = 10, value_ = 0;
};

class CheckBox : public DialogControl {
  public:
    std::function<void()> Click;

    int value() const { return value_; }
    // Any non-zero value checks the box.
    void SetValue(long long v);

  private:
    int value_ = 0;
};

struct OptionButton : DialogControl {
    bool value = false;
};

// Two option buttons in one container: selecting one clears the other, and selecting a
// button that was not selected fires Click with its index.
class OptionPair {
  public:
    std::array<OptionButton, 2> buttons;
    std::function<void(int)> Click;

    int selected() const { return buttons[1].value ? 1 : 0; }
    void Select(int index);  // an index other than 0 or 1 is ignored
    void SetEnabled(bool enabled);
};

// A list box used as a spinner: the item at the top is the value.
class ListBox : public DialogControl {
  public:
    std::function<void()> Scroll;

    const std::vector<std::string>& items() const { return items_; }
    int top_index() const { return top_index_; }

    void Clear();
    void AddItem(std::string item);
    // Clamped to the items, as a one-line list box clamps it; fires Scroll on a change.
    void SetTopIndex(long long index);
    std::string TopItem() const;

  private:
    std::vector<std::string> items_;
    int top_index_ = 0;
};

struct Tab {
    std::string caption;
    int fan = -1;  // the fan channel the tab was made for; -1 for the other pages
};

// The view sets `selected` to the tab the user chose and then calls the dialog's Click.
struct TabStrip : DialogControl {
    std::vector<Tab> tabs;
    int selected = 0;  // index into tabs

    void Remove(int index);
    const Tab* SelectedTab() const;
};

}  // namespace kelvane::options
