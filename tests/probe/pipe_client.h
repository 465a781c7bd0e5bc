#pragma once
// The probe as a client of the owner's pipe.
#include <optional>

// pipe-read MS | pipe-garbage MS | pipe-hold MS | pipe-settings MS S0 |
// pipe-span MS SECONDS COLUMNS; nothing for any other verb.
std::optional<int> PipeVerb(int argc, char** argv);
