#include "state/channels.h"

#include <charconv>

#include "base/failure_policy.h"
#include "chip/expression.h"

namespace kelvane {

std::optional<int> ChannelRecord(const Form1& f, int n) {
    if (n < 0 || n >= static_cast<int>(f.window.LedPic.size())) return std::nullopt;
    std::string_view tag = f.window.LedPic[static_cast<size_t>(n)].tag;
    while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
    while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
    int record = -1;
    const auto [end, ec] = std::from_chars(tag.data(), tag.data() + tag.size(), record);
    if (ec != std::errc{} || end != tag.data() + tag.size()) return std::nullopt;
    if (record < 0 || record >= static_cast<int>(f.settings.g_DefaultFanCtrl.size()))
        return std::nullopt;
    return record;
}

const std::string& ChannelName(const Form1& f, int n) {
    const std::optional<int> k = ChannelRecord(f, n);
    return f.window.KelvaneLabel[static_cast<std::size_t>(k.value_or(n))].caption;
}

const std::string* ChannelExpression(const Form1& f, int n) {
    const std::optional<int> r = ChannelRecord(f, n);
    if (!r) return nullptr;
    const std::string& m = f.settings.g_DefaultFanCtrl[static_cast<size_t>(*r)].Modulate;
    return m.empty() ? nullptr : &m;
}

void BuildReadingTables(Form1& f) {
    Evaluator evaluator;
    for (int j = 0; j < 3; ++j) {
        const std::string* line = ChannelExpression(f, j);
        if (line == nullptr) continue;
        const std::vector<Symbol> symbols = Classify(*line);
        for (int t = 0; t < 256; ++t) {
            SkipOnError([&] {
                f.ReadingTable[static_cast<size_t>(t * 3 + j)] =
                    evaluator.Evaluate(symbols, static_cast<i16>(t));
            });
        }
    }
}

}  // namespace kelvane
