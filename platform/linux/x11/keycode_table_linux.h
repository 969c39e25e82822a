// The keys of the X server's keyboard as the portable core names them: the
// virtual-key code of each keycode on the active layout and group (see
// keys/key_places_linux.h), read through XKB so that a layout switched with
// setxkbmap or a group switch of the desktop is followed.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

struct KeycodeTable {
    int32_t codeOf[256] = {};         // by keycode
    unsigned long typedBy[256] = {};  // by keycode: the keysym at the first level of the active group
    int group = 0;                    // the active group
};

// The code the capture records for a press of the keycode: its virtual-key
// code, kKeyWithoutCode for a key that has none on this layout.
int32_t capturedCodeOfKeycode(const KeycodeTable& table, int keycode);

// Reads the display's keyboard map and active group into the table.
void buildKeycodeTable(Display* display, KeycodeTable& table);

// Asks the display to announce changes of the keyboard map and of the active
// group as XKB events (an Xlib client is sent no core MappingNotify for them);
// returns the XKB event type, -1 without XKB.
int watchKeyboardChanges(Display* display);
