// Sizing and placing the main window and the panel windows, and bringing
// the main window to the front. UI thread only, unless a comment says otherwise.
#pragma once

#include <cstdint>
#include <string>

// Sets the web view's size, then shrinks the height and moves the window up
// as far as needed to keep it inside its monitor's work area (with 20 pixels
// to spare). Never moves it sideways. Does nothing for a null web view or a
// size that is not positive.
void fitWindowToWorkArea(void* webview, int32_t width, int32_t height);

// Reads "[x,y]" as a point of the screen: false for text that is not two
// whole numbers. refusal says so, or names a point that no monitor holds,
// in words for the page; "" for a point on a screen.
bool readScreenPoint(const std::string& args, int32_t& x, int32_t& y, std::string& refusal);

// Moves the window so it sits in the middle of its monitor's work area.
void centreWindowInWorkArea(void* window);

// The main web view while its window's loop runs, null before and after.
void setFrontWindowTarget(void* webview);
// Asks the UI thread to restore the main window and bring it to the front;
// safe from any thread, nothing happens before the window runs.
void bringMainWindowToFront();
