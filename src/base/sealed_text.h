#pragma once
// A small INI text closed by a checksum line, for the files Kelvane keeps for itself: a text
// that is torn, altered or not of this form opens as nothing.
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// `body`, lines ending in CR LF, followed by "Check=0x........" over it.
std::string SealText(std::string body);
// The body of a sealed text; nothing when the check line is missing, cut short or wrong.
std::optional<std::string> OpenSealedText(std::string_view text);

}  // namespace kelvane
