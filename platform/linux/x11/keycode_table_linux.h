// The virtual-key code of each keycode of the X server's current keyboard map.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// The virtual-key code of every keycode of the display's current map. Keypad
// keys give their digit codes (0x60..0x69) whatever the NumLock state.
void buildKeycodeTable(Display* display, int32_t (&table)[256]);
