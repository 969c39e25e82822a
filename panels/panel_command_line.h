// What a pop-out panel process starts with, read from its command line.
#pragma once

#include <cstdint>
#include <string>

#include "model/state.h"

// The window opens a little up and to the left of the pointer point it is
// given, so that the pointer lands on the panel's header.
constexpr int32_t kPanelPointerOffsetX = 150;
constexpr int32_t kPanelPointerOffsetY = 20;

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
