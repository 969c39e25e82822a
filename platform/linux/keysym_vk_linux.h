// From X keys to the Windows virtual-key codes that the portable core speaks.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// The virtual-key code of a keysym, 0 when it has none.
int32_t virtualKeyForKeysym(KeySym keysym);

// The virtual-key code of every keycode of the display's current map. Keypad
// keys give their digit codes (0x60..0x69) whatever the NumLock state.
void buildKeycodeTable(Display* display, int32_t (&table)[256]);
