#include "maintenance/histogram.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kelvane::maintenance {

int Scale::BinOf(double value) const {
    const double at = std::floor((value - low) / width + 1e-9);
    if (!(at > 0)) return 0;  // NaN too
    return at >= count ? count - 1 : static_cast<int>(at);
}

void Histogram::Add(int bin, int delta) {
    if (counts_.empty()) counts_.assign(static_cast<std::size_t>(scale_.count), 0);
    auto& c = counts_[static_cast<std::size_t>(std::clamp(bin, 0, scale_.count - 1))];
    // A bin saturates rather than wraps: a period is shorter than its range.
    const int now = std::clamp(c + delta, 0, 0xFFFF);
    total_ += now - c;
    c = static_cast<std::uint16_t>(now);
}

std::optional<double> Histogram::Median() const {
    if (total_ == 0) return std::nullopt;
    int seen = 0;
    for (std::size_t b = 0; b < counts_.size(); ++b) {
        seen += counts_[b];
        if (2 * seen >= total_) return scale_.ValueOf(static_cast<int>(b));
    }
    return std::nullopt;
}

std::string Histogram::Text() const {
    std::string text;
    for (std::size_t b = 0; b < counts_.size(); ++b) {
        if (counts_[b] == 0) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(b) + ':' + std::to_string(counts_[b]);
    }
    return text;
}

bool Histogram::Read(std::string_view text) {
    *this = Histogram(scale_);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        int bin = 0, count = 0;
        auto r = std::from_chars(p, end, bin);
        bool ok = r.ec == std::errc() && r.ptr != end && *r.ptr == ':';
        if (ok) {
            r = std::from_chars(r.ptr + 1, end, count);
            ok = r.ec == std::errc() && bin >= 0 && bin < scale_.count && count > 0 &&
                 count <= 0xFFFF;
        }
        if (ok && r.ptr != end) ok = *r.ptr == ' ' && r.ptr + 1 != end;
        if (!ok) {
            *this = Histogram(scale_);
            return false;
        }
        Add(bin, count);
        p = r.ptr == end ? end : r.ptr + 1;
    }
    return true;
}

}  // namespace kelvane::maintenance
