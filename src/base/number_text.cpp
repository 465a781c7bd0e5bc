#include "base/number_text.h"

namespace kelvane {

void AppendInteger(std::string& out, long long value) {
    char text[kNumberTextRoom];
    out.append(text, PutInteger(text, value));
}

void AppendFixed(std::string& out, double value, int decimals) {
    char text[kNumberTextRoom];
    out.append(text, PutFixed(text, value, decimals));
}

}  // namespace kelvane
