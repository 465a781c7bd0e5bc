#pragma once
// Numbers as files and views write them: a dot before the decimals whatever the C library's
// locale, and no library conversion, which costs more than a whole metrics file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace kelvane {

// The most any of these writes, sign and point included.
inline constexpr std::size_t kNumberTextRoom = 32;

namespace number_text {

// Digits written from the end once their count is known; counting by comparison spares the
// divisions.
template <typename Unsigned>
char* PutDigits(char* out, Unsigned u) {
    constexpr int kMost = std::numeric_limits<Unsigned>::digits10 + 1;
    int n = 1;
    for (Unsigned power = 10; n < kMost && u >= power; power *= 10) ++n;  // wraps only at the end
    char* const end = out + n;
    out = end;
    do {
        *--out = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    return end;
}

template <typename Unsigned>
char* PutPointed(char* out, Unsigned units, Unsigned scale, int decimals) {
    out = PutDigits(out, static_cast<Unsigned>(units / scale));
    if (decimals == 0) return out;
    *out++ = '.';
    Unsigned fraction = units % scale;
    for (int k = decimals; k-- > 0;) {
        out[k] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return out + decimals;
}

}  // namespace number_text

// Each writes at `out` and returns the end of what it wrote. Readings fit 32 bits, whose
// division is the cheaper one on the 32-bit build.
inline char* PutInteger(char* out, long long value) {
    const std::uint64_t u =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (value < 0) *out++ = '-';
    if (u <= 0xFFFFFFFFULL) return number_text::PutDigits(out, static_cast<std::uint32_t>(u));
    return number_text::PutDigits(out, u);
}

// `decimals` (0 to 3) after a dot, halves away from zero; a value that rounds to zero has no
// sign. Only for finite values under 1e15: each format words the others its own way.
inline char* PutFixed(char* out, double value, int decimals) {
    constexpr std::uint32_t kScale[] = {1, 10, 100, 1000};
    const std::uint32_t scale = kScale[decimals];
    const auto units = static_cast<std::uint64_t>(std::fabs(value) * scale + 0.5);
    if (value < 0 && units != 0) *out++ = '-';
    if (units <= 0xFFFFFFFFULL)
        return number_text::PutPointed(out, static_cast<std::uint32_t>(units), scale, decimals);
    return number_text::PutPointed(out, units, std::uint64_t{scale}, decimals);
}

void AppendInteger(std::string& out, long long value);
void AppendFixed(std::string& out, double value, int decimals);

}  // namespace kelvane
