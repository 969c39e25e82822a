// The desktop's interface font, named to the page by the program: the page's
// style reads it from the custom property --desktop-font (ui/style.css) and
// falls back to system-ui without it.
#pragma once

#include <string>

// The page with a style element giving --desktop-font the family, put before
// its first "</head>". Unchanged for an empty family, for one holding a
// character that could end the CSS string or the element (quotes,
// backslashes, angle brackets, control characters), and for a page without
// "</head>".
std::string pageWithDesktopFont(const std::string& page, const std::string& family);
