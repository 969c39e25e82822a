// The page of a pop-out panel: the main window's page with a script that asks
// it (enterPanelMode) to show only the one panel, in the main window's theme.
#pragma once

#include <string>

// The text to put between the single quotes of a JavaScript string literal in
// an HTML script element, so that any bytes stay data: quotes, backslashes and
// line ends are escaped, and '<' and '>' too, so the text can never close the
// script element or open a comment in it.
std::string javaScriptStringContent(const std::string& text);

// The script element inserted before the page's last "</body>" (and that
// "</body>" itself, which it replaces): one call of the page's
// enterPanelMode with the panel's id and theme.
std::string panelScript(const std::string& theme, const std::string& panelId);

// The page with the script in place of its last "</body>"; a page without one
// (or too short to hold one) is returned unchanged.
std::string panelPageHtml(const std::string& page, const std::string& theme,
                          const std::string& panelId);
