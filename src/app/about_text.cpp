#include "app/about_text.h"

namespace kelvane {

std::string DefaultAboutText() {
    const std::string br = kAboutLineBreak;
    return "Talvenor Terminal Systems," + br + "Kelvane Version 5.07 (2006)" + br +
           "Quenbury Electronics" + br + "All rights reserved.";
}

std::string CodePageInfinityToMarker(const std::string& text, const std::string& infinity,
                                     bool (*lead)(unsigned char)) {
    if (infinity.empty()) return text;
    std::string out;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, infinity.size(), infinity) == 0) {
            out += kAboutLineBreak;
            at += infinity.size();
            continue;
        }
        const size_t width = lead(static_cast<unsigned char>(text[at])) ? 2 : 1;
        out.append(text, at, width);
        at += width;
    }
    return out;
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
