#include "text/page_font.h"

namespace {

// Longer than any family name a desktop offers; a bound on what goes in.
const size_t kMaxFamilyBytes = 200;

bool safeInCssString(const std::string& family) {
    if (family.empty() || family.size() > kMaxFamilyBytes) return false;
    for (unsigned char c : family) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\'' || c == '\\' || c == '<' || c == '>') return false;
    }
    return true;
}

}  // namespace

std::string pageWithDesktopFont(const std::string& page, const std::string& family) {
    if (!safeInCssString(family)) return page;
    const size_t headEnd = page.find("</head>");
    if (headEnd == std::string::npos) return page;
    std::string out = page;
    out.insert(headEnd, "<style>:root{--desktop-font:\"" + family + "\"}</style>");
    return out;
}
