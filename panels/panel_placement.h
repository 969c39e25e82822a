// Where a new pop-out panel window opens: beside the main window, on the
// same monitor, over neither the main window nor the panels already out.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// The size a panel window opens at, before its page fits it to the panel.
constexpr int32_t kPanelWindowWidth = 450;
constexpr int32_t kPanelWindowHeight = 400;

struct PanelPoint {
    int32_t x = 0, y = 0;
};

// Whether a panel window at this point would cover part of the main window.
bool panelPointCovers(const platform::ScreenRect& mainWindow, PanelPoint at, int32_t width, int32_t height);

// The panel's top-left corner for a panel of the given size: in a column to
// the right of the main window, else to its left, else in the next columns
// out, each filled from the main window's top down, at the first spot of the
// work area that covers neither the main window nor a rectangle of `taken`
// (the panels already out). Where no such spot exists, the spot beside the
// main window that covers the least of them all.
PanelPoint panelPlacementBeside(const platform::ScreenRect& mainWindow, const platform::ScreenRect& workArea,
                                int32_t width, int32_t height,
                                const std::vector<platform::ScreenRect>& taken);
