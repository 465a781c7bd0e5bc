#include "app/about_text.h"

namespace kelvane {

std::string DefaultAboutText() {
    const std::string br = kAboutLineBreak;
    return "Talvenor Terminal Systems," + br + "Kelvane Version 5.07 (2006)" + br +
           "Quenbury Electronics" + br + "All rights reserved.";
}

std::string AboutLineBreaks(const std::string& text) {
    const std::string marker = kAboutLineBreak;
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text.find(marker, from)) != std::string::npos; from = at + marker.size())
        out.append(text, from, at - from).append("\r\n");
    out.append(text, from, std::string::npos);
    return out;
}

}  // namespace kelvane
