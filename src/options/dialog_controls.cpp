#include "options/dialog_controls.h"

#include <algorithm>
#include <utility>

namespace kelvane::options {

void Slider::SetValue(long long v) {
    const auto clamped = static_cast<std::int32_t>(std::clamp<long long>(v, min_, max_));
    if (clamped == value_) return;
    value_ = clamped;
    if (Change) Change();
}

void Slider::SetMax(std::int32_t max) { SetRange(std::min(min_, max), max); }

void Slider::SetRange(std::int32_t min, std::int32_t max) {
    min_ = min;
    max_ = std::max(min, max);
    SetValue(value_);
}

void CheckBox::SetValue(long long v) {
    const int checked = v != 0 ? 1 : 0;
    if (checked == value_) return;
    value_ = checked;
    if (Click) Click();
}

void OptionPair::Select(int index) {
    if (index != 0 && index != 1) return;
    const bool was_selected = buttons[static_cast<size_t>(index)].value;
    buttons[static_cast<size_t>(index)].value = true;
    buttons[static_cast<size_t>(1 - index)].value = false;
    if (!was_selected && Click) Click(index);
}

void OptionPair::SetEnabled(bool enabled) {
    for (auto& b : buttons) b.enabled = enabled;
}

void ListBox::Clear() {
    items_.clear();
    top_index_ = 0;
}

void ListBox::AddItem(std::string item) { items_.push_back(std::move(item)); }

void ListBox::SetTopIndex(long long index) {
    const long long last = items_.empty() ? 0 : static_cast<long long>(items_.size()) - 1;
    const int clamped = static_cast<int>(std::clamp<long long>(index, 0, last));
    if (clamped == top_index_) return;
    top_index_ = clamped;
    if (Scroll) Scroll();
}

std::string ListBox::TopItem() const {
    if (items_.empty()) return {};
    return items_[static_cast<size_t>(top_index_)];
}

void TabStrip::Remove(int index) {
    if (index < 0 || index >= static_cast<int>(tabs.size())) return;
    tabs.erase(tabs.begin() + index);
    // The selection stays on the same tab; when that tab goes, on its successor.
    if (selected > index) --selected;
    selected = std::clamp(selected, 0, std::max(0, static_cast<int>(tabs.size()) - 1));
}

const Tab* TabStrip::SelectedTab() const {
    if (selected < 0 || selected >= static_cast<int>(tabs.size())) return nullptr;
    return &tabs[static_cast<size_t>(selected)];
}

}  // namespace kelvane::options
