// Synthetic input through the desktop portal's remote desktop, for Wayland
// compositors that offer a client no input device of its own (GNOME's
// mutter). The desktop asks the person, in a dialog of its own, each time a
// session starts, unless a restore token from an earlier grant is accepted.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform::remote_desktop_portal {

// Asks for a session on a thread of its own and returns at once; the
// session lives as long as the process. Only the first call asks.
void ask();
// NotAsked when the portal is missing or nobody asked; Refused also when
// the desktop ended the session.
InputPermission permission();
bool granted();

// Positions in the compositor's layout, the coordinates X11 programs on its
// XWayland see; they are mapped into the shared monitor's stream.
void moveAbsolute(int32_t x, int32_t y);
// The same in 0..65535 over the shared monitor.
void moveNormalised(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes (BTN_LEFT 0x110 ...).
void button(uint32_t code, bool down);
// Whole wheel steps; positive turns away from the user (up) or to the right.
void wheel(bool horizontal, int32_t steps);
// The compositor presses the key that types the keysym in its own keymap.
void key(uint32_t keysym, bool down);
// Presses or releases the key at this place (a Linux input event code),
// which the compositor reads with the person's own layout.
void keyAtPlace(uint32_t evdevCode, bool down);

}  // namespace platform::remote_desktop_portal
