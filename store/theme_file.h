// The colour theme's name, shared with the pop-out panels through theme.txt.
#pragma once

#include <string>

// The first line of theme.txt, or the default theme when missing or empty.
std::string readThemeFile();
// Writes the current theme name, and nothing else, to theme.txt.
void writeThemeFile();
// The pipe command "setTheme": the name arrives already cleaned by the panel.
void applyThemeFromPanel(const std::string& name);
