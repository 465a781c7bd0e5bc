// The "Advanced" page: temperature scale, topmost, the warning sound and starting with
// Windows. The sound and autostart values share one layout: bit 1 switches the feature on,
// bit 0 keeps the choice, which survives while the feature is off.
#include "chip/autostart.h"
#include "options/form2.h"

namespace kelvane {

void Form2::SetGeneralOptions() {
    const Settings& g = f_.settings;
    DisplayScaleOpt.Select(m_DisplayScale == 1 ? 1 : 0);
    Check1.SetValue(m_DisplayOnTop);

    const bool autostart = g.g_ExecuteAtStartup > 1;
    Check3.SetValue(autostart ? 1 : 0);
    APMinimized.SetEnabled(autostart);
    APMinimized.Select(g.g_ExecuteAtStartup & 1);

    const bool sound = g.g_SoundWarnning > 1;
    Check2.SetValue(sound ? 1 : 0);
    SoundStyle.SetEnabled(sound);
    SoundStyle.Select(g.g_SoundWarnning & 1);

    // A stored value outside the page's choices is taken as what the page shows, so an
    // Apply can only store what the user sees.
    m_DisplayScale = static_cast<i16>(DisplayScaleOpt.selected());
    m_DisplayOnTop = static_cast<i16>(Check1.value());
    m_ExecuteAtStartup = FeatureBits(Check3.value(), APMinimized.selected());
    m_SoundWarnning = FeatureBits(Check2.value(), SoundStyle.selected());
}

void Form2::DisplayScaleOpt_Click(int index) {
    if (index != 0 && index != 1) return;
    m_DisplayScale = static_cast<i16>(index);
    EnableApply();
}

void Form2::Check1_Click() {
    m_DisplayOnTop = static_cast<i16>(Check1.value());
    EnableApply();
}

void Form2::Check2_Click() {
    const bool on = Check2.value() != 0;
    SoundStyle.SetEnabled(on);
    m_SoundWarnning = SwitchFeature(m_SoundWarnning, on);
    EnableApply();
}

void Form2::SoundStyle_Click(int index) {
    if (index != 0 && index != 1) return;
    m_SoundWarnning = FeatureBits(Check2.value(), index);
    EnableApply();
}

void Form2::Check3_Click() {
    const bool on = Check3.value() != 0;
    APMinimized.SetEnabled(on);
    m_ExecuteAtStartup = SwitchFeature(m_ExecuteAtStartup, on);
    EnableApply();
}

void Form2::APMinimized_Click(int index) {
    if (index != 0 && index != 1) return;
    m_ExecuteAtStartup = FeatureBits(Check3.value(), index);
    EnableApply();
}

}  // namespace kelvane
