#pragma once

#include <string>
#include <vector>

// Opens the panel the argument names ("title|id|x|y", the page's text) in a
// process of its own, or brings it to the front when it is out already.
void popOutPanel(const std::string& argument);
// Keeps every panel window still out above other windows, or no longer, as
// "Always on top" does the main window.
void keepPanelsAbove(bool on);
// Ends every pop-out panel process still tracked and forgets them (shutdown).
void endAllPanelProcesses();
// Forgets the panel processes that have ended and names them, in id order,
// so that every ended panel appears in exactly one report. UI thread only.
std::vector<std::string> collectEndedPanels();
