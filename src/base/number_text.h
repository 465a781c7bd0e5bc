#pragma once
// Numbers as files and views write them: a dot before the decimals whatever the C library's
// locale, and no library conversion, which costs more than a whole metrics file.
#include <cstddef>
#include <string>

namespace kelvane {

// The most any of these writes, sign and point included.
inline constexpr std::size_t kNumberTextRoom = 32;

// Each writes at `out` and returns the end of what it wrote.
char* PutInteger(char* out, long long value);
// `decimals` (0 to 3) after a dot, halves away from zero; a value that rounds to zero has no
// sign. Only for finite values under 1e15: each format words the others its own way.
char* PutFixed(char* out, double value, int decimals);

void AppendInteger(std::string& out, long long value);
void AppendFixed(std::string& out, double value, int decimals);

}  // namespace kelvane
