#include "history/csv.h"

#include <cmath>
#include <cstdio>

#include "base/number_text.h"
#include "history/civil_time.h"
#include "state/status_line.h"

namespace kelvane::history {
namespace {

constexpr const char* kEol = "\r\n";
constexpr std::array<const char*, kReadings> kNames = {
    "temp0_c", "temp1_c", "temp2_c", "fan0_rpm", "fan1_rpm", "fan2_rpm", "vin0_v", "vin1_v",
    "vin2_v",  "vin3_v",  "vin4_v",  "vin5_v",   "vin6_v",   "vin7_v",   "vin8_v"};

int Decimals(int reading, bool mean) {
    if (reading >= kFirstVolt) return mean ? 3 : 2;
    return mean ? 1 : 0;
}

// A number written by FixedText, read without the C library's locale.
bool ParseFixed(std::string_view text, double& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return false;
    std::int64_t whole = 0, fraction = 0, scale = 1;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true)
        whole = whole * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true) {
            fraction = fraction * 10 + (text[i] - '0');
            scale *= 10;
        }
    }
    if (i != text.size() || !digits || scale > 1000000000) return false;
    const double v =
        static_cast<double>(whole) + static_cast<double>(fraction) / static_cast<double>(scale);
    out = negative ? -v : v;
    return true;
}

bool ParseInt(std::string_view text, int& out) {
    double v = 0;
    if (!ParseFixed(text, v) || v != std::floor(v) || std::fabs(v) > 2e9) return false;
    out = static_cast<int>(v);
    return true;
}

// Splits one line at commas into `cells`; false when the count differs.
bool Split(std::string_view line, std::vector<std::string_view>& cells, std::size_t want) {
    cells.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        cells.push_back(
            line.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return cells.size() == want;
}

// Beyond what a reading can be, the number without decimals; nothing finite, a zero.
void AppendCell(std::string& out, double value, int decimals) {
    if (!std::isfinite(value) || std::fabs(value) > 1e15) {
        char text[64];
        std::snprintf(text, sizeof text, "%.0f", std::isfinite(value) ? value : 0.0);
        out += text;
        return;
    }
    AppendFixed(out, value, decimals);
}

// A header cell as a spreadsheet reads it back: quoted when it holds a comma or a quote.
std::string Cell(const std::string& name) {
    if (name.find_first_of(",\"\r\n") == std::string::npos) return name;
    std::string out = "\"";
    for (char c : name) {
        if (c == '\r' || c == '\n') c = ' ';
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

std::string Named(const std::string& name, const char* fallback, int number) {
    return name.empty() ? fallback + std::to_string(number) : name;
}

}  // namespace

std::string FixedText(double value, int decimals) {
    std::string s;
    AppendCell(s, value, decimals);
    return s;
}

std::string SampleHeader(const ColumnNames& names) {
    std::string s = "time,status,status_text,lasting,critical,reachable";
    std::array<std::string, kChannels> channel;
    for (int n = 0; n < kChannels; ++n)
        channel[static_cast<std::size_t>(n)] =
            Named(names.channels[static_cast<std::size_t>(n)], "Channel ", n);
    for (const std::string& c : channel) s += "," + Cell(c + " (C)");
    for (const std::string& c : channel) s += "," + Cell(c + " fan (rpm)");
    for (int v = 0; v < kInputs; ++v)
        s += "," + Cell(Named(names.inputs[static_cast<std::size_t>(v)], "Input ", v) + " (V)");
    for (std::size_t n = 0; n < 2; ++n) s += "," + Cell(channel[n] + " limit (C)");
    return s + kEol;
}

std::string SampleRow(const Sample& s, int offset_minutes, const VoltsOf& volts) {
    std::string row = IsoText(s.time, offset_minutes);
    row += ',';
    row += std::to_string(s.status);
    row += ',';
    if (s.status < kStatusTexts.size()) row += kStatusTexts[s.status].message;
    row += s.lasting() ? ",1" : ",0";
    row += s.critical() ? ",1" : ",0";
    row += s.reachable() ? ",1" : ",0";
    // What the chip last said before this second is not a reading of it.
    for (int n = 0; n < kChannels; ++n) {
        row += ',';
        if (s.has_reading()) AppendInteger(row, s.temp[static_cast<std::size_t>(n)]);
    }
    for (int n = 0; n < kChannels; ++n) {
        row += ',';
        if (s.has_reading()) AppendInteger(row, s.fan[static_cast<std::size_t>(n)]);
    }
    for (int v = 0; v < kInputs; ++v) {
        row += ',';
        if (s.has_reading() && s.shown(v))
            AppendCell(row, volts(v, s.volt[static_cast<std::size_t>(v)]), 2);
    }
    for (std::uint8_t limit : s.limit) {
        row += ',';
        if (s.has_reading()) AppendInteger(row, limit);
    }
    return row + kEol;
}

std::string MinuteHeader() {
    std::string s =
        "time,samples,status,lasting_s,critical_s,unreachable_s,temp0_limit_c,temp1_limit_c";
    for (const char* name : kNames)
        for (const char* what : {"_min", "_mean", "_max"}) s += std::string(",") + name + what;
    return s + ",fan0_step,fan1_step" + kEol;
}

std::string MinuteRowText(const MinuteRow& r) {
    std::string row = IsoText(r.time, r.offset_minutes);
    row.reserve(400);
    for (int v : {r.samples, r.status, r.lasting_s, r.critical_s, r.unreachable_s, r.limit[0],
                  r.limit[1]}) {
        row += ',';
        AppendInteger(row, v);
    }
    for (int i = 0; i < kReadings; ++i) {
        const Stat& s = r.stat[static_cast<std::size_t>(i)];
        if (!s.present) {
            row += ",,,";
            continue;
        }
        row += ',';
        AppendCell(row, s.min, Decimals(i, false));
        row += ',';
        AppendCell(row, s.mean, Decimals(i, true));
        row += ',';
        AppendCell(row, s.max, Decimals(i, false));
    }
    for (const int step : r.step) {
        row += ',';
        if (step >= 0) AppendInteger(row, step);
    }
    return row + kEol;
}

std::vector<MinuteRow> ReadMinuteRows(std::string_view text) {
    std::vector<MinuteRow> rows;
    rows.reserve(text.size() / 160);  // rows are longer than that: one allocation
    std::vector<std::string_view> cells;
    constexpr std::size_t kCells = 8 + 3 * kReadings + 2;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A row from before the steps were kept lacks their two cells.
        if (!Split(line, cells, kCells) && cells.size() != kCells - 2) continue;
        MinuteRow r;
        r.has_step = cells.size() == kCells;
        const auto time = ParseIso(cells[0]);
        if (!time) continue;
        r.time = *time;
        r.offset_minutes = (cells[0][19] == '-' ? -1 : 1) *
                           ((cells[0][20] - '0') * 600 + (cells[0][21] - '0') * 60 +
                            (cells[0][23] - '0') * 10 + (cells[0][24] - '0'));
        bool ok = ParseInt(cells[1], r.samples) && ParseInt(cells[2], r.status) &&
                  ParseInt(cells[3], r.lasting_s) && ParseInt(cells[4], r.critical_s) &&
                  ParseInt(cells[5], r.unreachable_s) && ParseInt(cells[6], r.limit[0]) &&
                  ParseInt(cells[7], r.limit[1]);
        for (int i = 0; ok && i < kReadings; ++i) {
            Stat& s = r.stat[static_cast<std::size_t>(i)];
            const std::size_t c = 8 + 3 * static_cast<std::size_t>(i);
            if (cells[c].empty() && cells[c + 1].empty() && cells[c + 2].empty()) continue;
            s.present = ParseFixed(cells[c], s.min) && ParseFixed(cells[c + 1], s.mean) &&
                        ParseFixed(cells[c + 2], s.max);
            ok = s.present;
        }
        for (std::size_t n = 0; ok && r.has_step && n < 2; ++n) {
            const std::string_view cell = cells[kCells - 2 + n];
            ok = cell.empty() || (ParseInt(cell, r.step[n]) && r.step[n] >= 0);
            if (cell.empty()) r.step[n] = -1;
        }
        if (ok) rows.push_back(r);
    }
    return rows;
}

}  // namespace kelvane::history
