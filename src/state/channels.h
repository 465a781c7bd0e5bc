#pragma once
// The display channels' links to the fan-control records: which record's expression remaps
// a channel's raw readings, and the ReadingTable built from them once at start-up.
#include <optional>
#include <string>

#include "state/form1.h"

namespace kelvane {

// The fan-control record whose expression belongs to channel n (the Tag of LedPic n), or
// nothing when the tag is not a record number 0..2.
std::optional<int> ChannelRecord(const Form1& f, int n);

// The name of temperature channel n: the caption of the heading its display is paired with.
const std::string& ChannelName(const Form1& f, int n);

// The non-empty expression of channel n's record, or nullptr.
const std::string* ChannelExpression(const Form1& f, int n);

// Fills ReadingTable for every channel with an expression; an input whose evaluation fails
// keeps its entry.
void BuildReadingTables(Form1& f);

}  // namespace kelvane
