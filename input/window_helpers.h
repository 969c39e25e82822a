// Sizing and placing the main window and the panel windows. UI thread only.
#pragma once

#include <cstdint>

// Sets the web view's size, then shrinks the height and moves the window up
// as far as needed to keep it inside its monitor's work area (with 20 pixels
// to spare). Never moves it sideways. Does nothing for a null web view or a
// size that is not positive.
void fitWindowToWorkArea(void* webview, int32_t width, int32_t height);

// Moves the window so it sits in the middle of its monitor's work area.
void centreWindowInWorkArea(void* window);
