// What a pop-out panel process starts with, read from its command line.
#pragma once

#include <cstdint>
#include <string>

#include "model/state.h"

struct PanelStartValues {
    std::string title = "Panel";
    std::string id;
    bool placed = false;  // both coordinates were given; otherwise the library places it
    int32_t x = 0, y = 0; // the window's top-left corner when placed
    std::string theme = kDefaultTheme;
};

// Reads the fields that follow the first "--child " of the command line: title,
// panel id, the pointer's x and y when the panel was popped out, and the main
// process's theme, separated by '|'. Missing or unreadable fields keep their
// defaults.
PanelStartValues parsePanelCommandLine(const std::string& commandLine);
