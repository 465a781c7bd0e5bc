#include "base/number_text.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kelvane {
namespace {

// Digits of `units` with a point before the last `decimals`, written from the end once their
// count is known; counting by comparison spares the divisions.
template <typename Unsigned>
char* PutPointed(char* out, Unsigned units, int decimals) {
    constexpr int kMost = std::numeric_limits<Unsigned>::digits10 + 1;
    int n = 1;
    for (Unsigned power = 10; n < kMost && units >= power; power *= 10) ++n;  // wraps at the end
    if (n < decimals + 1) n = decimals + 1;
    char* const end = out + n + (decimals > 0 ? 1 : 0);
    out = end;
    for (int k = 0; k < n; ++k) {
        if (k == decimals && k > 0) *--out = '.';
        *--out = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    return end;
}

// The 32-bit division is the cheaper one on the 32-bit build, and readings fit it.
char* PutUnsigned(char* out, std::uint64_t units, int decimals) {
    if (units <= 0xFFFFFFFFULL) return PutPointed(out, static_cast<std::uint32_t>(units), decimals);
    return PutPointed(out, units, decimals);
}

}  // namespace

char* PutInteger(char* out, long long value) {
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (value < 0) *out++ = '-';
    return PutUnsigned(out, magnitude, 0);
}

char* PutFixed(char* out, double value, int decimals) {
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const auto units =
        static_cast<std::uint64_t>(std::llround(std::fabs(value) * static_cast<double>(scale)));
    if (value < 0 && units != 0) *out++ = '-';
    return PutUnsigned(out, units, decimals);
}

void AppendInteger(std::string& out, long long value) {
    char text[kNumberTextRoom];
    out.append(text, PutInteger(text, value));
}

void AppendFixed(std::string& out, double value, int decimals) {
    char text[kNumberTextRoom];
    out.append(text, PutFixed(text, value, decimals));
}

}  // namespace kelvane
