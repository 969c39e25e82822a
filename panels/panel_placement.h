// Where a new pop-out panel window opens: beside the main window, on the
// same monitor, never over it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The size a panel window opens at, before its page fits it to the panel.
constexpr int32_t kPanelWindowWidth = 450;
constexpr int32_t kPanelWindowHeight = 400;

struct PanelPoint {
    int32_t x = 0, y = 0;
};

// The panel's top-left corner for a panel of the given size beside the main
// window: to its right when that fits the work area, else to its left, else
// wherever on the monitor covers the main window least. The n-th panel still
// open (0 for the first) steps down so that panels do not hide each other.
// Whether a panel window at this point would cover part of the main window.
bool panelPointCovers(const platform::ScreenRect& mainWindow, PanelPoint at, int32_t width, int32_t height);

PanelPoint panelPlacementBeside(const platform::ScreenRect& mainWindow, const platform::ScreenRect& workArea,
                                int32_t width, int32_t height, int openPanels);
