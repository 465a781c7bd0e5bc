// The "Voltage" page: one row per voltage input that the main window shows, packed one
// under another, each tied to the input's record by the value label beside its name.
#include <cstdlib>
#include <string>

#include "options/form2.h"

namespace kelvane {
namespace {

// The nominal voltage, stored in hundredths of a volt, in its shortest decimal form.
std::string Volts(i16 hundredths) {
    const std::int32_t v = hundredths;
    const std::int32_t a = std::abs(v);
    std::string text = (v < 0 ? "-" : "") + std::to_string(a / 100);
    if (const std::int32_t cents = a % 100; cents != 0) {
        text += '.';
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) text += static_cast<char>('0' + cents % 10);
    }
    return text + " V ";
}

// The record of the input named by `name`: the visible value label nearest to the name's
// right edge on its line. Ties go to the lower index; nothing within 9999 twips gives 0.
int NearestValueLabel(const MainWindowModel& w, const Control& name) {
    long long best = 9999;
    int k = 0;
    for (int j = 0; j < 9; ++j) {
        const Control& value = w.TempLabel[j];
        if (!value.visible) continue;
        const long long d =
            std::llabs(static_cast<long long>(value.left) - (name.left + name.width)) +
            std::llabs(static_cast<long long>(value.top) - name.top);
        if (d < best) {
            best = d;
            k = j;
        }
    }
    return k;
}

// The record index a row's tag names, or -1.
int RowRecord(const options::Label& label) {
    const std::string& t = label.tag;
    if (t.size() != 1 || t[0] < '0' || t[0] > '8') return -1;
    return t[0] - '0';
}

}  // namespace

void Form2::BuildVoltageRows() {
    const MainWindowModel& w = f_.window;
    const std::int32_t first_top = MyLabel[0].top;
    const std::int32_t pitch = MyLabel[0].height + 300;
    // Row 0 is only used for a shown channel 0; otherwise it would lie under another row.
    MyLabel[0].visible = MyList[0].visible = Label11[0].visible = MyCheck[0].visible =
        Label12[0].visible = false;
    int r = 0;
    for (int i = 0; i < 9; ++i) {
        const Control& name = w.KelvaneLabel[i + 3];
        if (!name.visible) continue;
        if (i > 0) {  // new members of the row arrays: row 0's looks, their own handlers
            MyLabel[i] = MyLabel[0];
            static_cast<options::DialogControl&>(MyList[i]) = MyList[0];
            Label11[i] = Label11[0];
            static_cast<options::DialogControl&>(MyCheck[i]) = MyCheck[0];
            Label12[i] = Label12[0];
            row_exists[i] = true;
        }
        MyList[i].Clear();
        for (int item = 100; item >= 0; --item) MyList[i].AddItem(std::to_string(item));
        MyLabel[i].caption = name.caption;
        const std::int32_t row_top = first_top + pitch * r++;
        auto place = [row_top](options::DialogControl& c) {
            c.top = row_top;
            c.visible = true;
        };
        place(MyLabel[i]);
        place(MyList[i]);
        place(Label11[i]);
        place(Label12[i]);
        place(MyCheck[i]);
        const int k = NearestValueLabel(w, name);
        const VinRecord& rec = f_.settings.g_Vin[k];
        MyLabel[i].tag = std::to_string(k);
        Label12[i].caption = Volts(rec.DefaultTemp);
        MyList[i].SetTopIndex(100 - static_cast<long long>(rec.Percent));
        MyCheck[i].SetValue(rec.Enable);
    }
}

// A stored tolerance outside the list's 0..100 shows clamped; the working copy takes what the
// row shows, so Apply never writes back a value the page did not show. Inputs without a
// row keep theirs.
void Form2::TakeShownTolerances() {
    for (int i = 0; i < 9; ++i) {
        if (!MyList[i].visible || (i > 0 && !row_exists[i])) continue;
        if (const int k = RowRecord(MyLabel[i]); k >= 0)
            m_Vin[k].Percent = static_cast<i16>(100 - MyList[i].top_index());
    }
}

void Form2::MyList_Scroll(int index) {
    if (index < 0 || index > 8 || !row_exists[index]) return;
    if (const int k = RowRecord(MyLabel[index]); k >= 0)
        m_Vin[k].Percent = static_cast<i16>(100 - MyList[index].top_index());
    EnableApply();
}

void Form2::MyCheck_Click(int index) {
    if (index < 0 || index > 8 || !row_exists[index]) return;
    if (const int k = RowRecord(MyLabel[index]); k >= 0)
        m_Vin[k].Enable = static_cast<i16>(MyCheck[index].value());
    EnableApply();
}

}  // namespace kelvane
