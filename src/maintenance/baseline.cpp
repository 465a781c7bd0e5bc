#include "maintenance/baseline.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/ini_text.h"
#include "base/sealed_text.h"
#include "history/csv.h"

namespace kelvane::maintenance {
namespace {

constexpr const char* kBaselineSection = "Maintenance baseline";
constexpr const char* kLearningSection = "Maintenance learning";

std::string StepName(int step) { return std::to_string(kStepPwm[static_cast<std::size_t>(step)]); }

std::optional<double> Number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// A key the text has, or nothing; the profile's default cannot tell a missing key apart.
std::optional<std::string> Value(IniText& ini, const char* section, const std::string& key) {
    if (!ini.Has(section, key)) return std::nullopt;
    return ini.GetString(section, key, {});
}

}  // namespace

int MinutesNeeded(int period_minutes) { return std::max(1, std::min(60, period_minutes / 2)); }

Baseline BaselineOf(const StepSummaries& s, int period_minutes) {
    Baseline b;
    b.minutes = period_minutes;
    const int need = MinutesNeeded(period_minutes);
    for (int n = 0; n < kFans; ++n)
        for (int step = 0; step < kSteps; ++step) {
            const Histogram& h = s.speed(n, step);
            const auto median = h.Median();
            // A step that does not turn the fan has nothing to wear against.
            if (h.total() >= need && median && *median > 0)
                b.speed[static_cast<std::size_t>(n)][static_cast<std::size_t>(step)] = median;
        }
    for (int step = 0; step < kSteps; ++step)
        if (s.rise(step).total() >= need)
            b.rise[static_cast<std::size_t>(step)] = s.rise(step).Median();
    if (s.cpu_minutes() >= need)
        b.top_share = static_cast<double>(s.top_minutes()) / s.cpu_minutes();
    return b;
}

std::string BaselineText(const Baseline& b) {
    std::string text = std::string("[") + kBaselineSection + "]\r\n";
    text += "Learned=" + std::to_string(b.learned) + "\r\n";
    text += "LearnedDate=" + b.learned_date + "\r\n";
    text += "Minutes=" + std::to_string(b.minutes) + "\r\n";
    // Empty where the step has no baseline.
    const auto put = [&](const std::string& key, const std::optional<double>& v, int decimals) {
        text += key + "=" + (v ? history::FixedText(*v, decimals) : "") + "\r\n";
    };
    for (int n = 0; n < kFans; ++n)
        for (int s = 0; s < kSteps; ++s)
            put("Speed" + std::to_string(n) + "Step" + StepName(s),
                b.speed[static_cast<std::size_t>(n)][static_cast<std::size_t>(s)], 0);
    for (int s = 0; s < kSteps; ++s)
        put("RiseStep" + StepName(s), b.rise[static_cast<std::size_t>(s)], 2);
    put("TopShare", b.top_share, 3);
    return SealText(std::move(text));
}

std::optional<Baseline> ParseBaseline(std::string_view text) {
    const std::optional<std::string> body = OpenSealedText(text);
    if (!body) return std::nullopt;
    IniText ini(*body);
    Baseline b;
    const auto learned = Value(ini, kBaselineSection, "Learned");
    const auto date = Value(ini, kBaselineSection, "LearnedDate");
    const auto minutes = Value(ini, kBaselineSection, "Minutes");
    if (!learned || !date || !minutes) return std::nullopt;
    const auto l = Number(*learned), m = Number(*minutes);
    if (!l || !m || *m < 1) return std::nullopt;
    b.learned = static_cast<std::int64_t>(*l);
    b.learned_date = *date;
    b.minutes = static_cast<int>(*m);
    // Each value is there, empty when it has none, or the text is not a whole baseline.
    const auto get = [&](const std::string& key, std::optional<double>& out) {
        const auto v = Value(ini, kBaselineSection, key);
        if (!v) return false;
        out = Number(*v);
        return v->empty() || out.has_value();
    };
    bool ok = true;
    for (int n = 0; n < kFans; ++n)
        for (int s = 0; s < kSteps; ++s)
            ok = ok && get("Speed" + std::to_string(n) + "Step" + StepName(s),
                           b.speed[static_cast<std::size_t>(n)][static_cast<std::size_t>(s)]);
    for (int s = 0; s < kSteps; ++s)
        ok = ok && get("RiseStep" + StepName(s), b.rise[static_cast<std::size_t>(s)]);
    ok = ok && get("TopShare", b.top_share);
    if (!ok) return std::nullopt;
    return b;
}

void Learner::Take(const history::MinuteRow& row) {
    // Rows from before the steps were kept cannot say what step a speed belongs to.
    if (!row.has_step && !started_) return;
    started_ = true;
    ++rows_;
    summaries_.Add(FactsOf(row));
}

std::string Learner::ProgressText() const {
    std::string text = std::string("[") + kLearningSection + "]\r\n";
    text += "Rows=" + std::to_string(rows_) + "\r\n";
    text += summaries_.Text();
    return SealText(std::move(text));
}

bool Learner::ReadProgress(std::string_view text) {
    const std::optional<std::string> body = OpenSealedText(text);
    if (!body) return false;
    IniText ini(*body);
    const double rows = Number(Value(ini, kLearningSection, "Rows").value_or("")).value_or(-1);
    StepSummaries read;
    if (rows < 0 || !read.Read(ini, kLearningSection)) return false;
    rows_ = static_cast<int>(rows);
    started_ = rows_ > 0;
    summaries_ = read;
    return true;
}

}  // namespace kelvane::maintenance
