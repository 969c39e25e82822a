// Synthetic input through a wlroots compositor's virtual pointer and virtual
// keyboard (sway, Hyprland, river...), made on the input connection. They
// reach every window, where XTest would reach only those of X11 programs.
#pragma once

#include <cstdint>

namespace platform::wlroots_devices {

// Makes both devices when the compositor offers both managers; false when
// it does not, or the keyboard's keymap could not be made. Called once,
// after the input connection is up.
bool open();
// Whether they were made and the connection still holds.
bool ready();

// Positions are in the compositor's layout, the coordinates X11 programs on
// its XWayland see.
void moveAbsolute(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes (BTN_LEFT 0x110 ...).
void button(uint32_t code, bool down);
// Whole wheel steps; positive turns away from the user (up) or to the right.
void wheel(bool horizontal, int32_t steps);
// Ends one pointer record and sends it.
void endPointerFrame();
// Presses or releases the key that types this keysym, with the modifiers
// its level needs, and sends it. A keysym the person's layout lacks is
// pressed on an empty key lent it in the keymap we hand the compositor
// (kept, with a few others, until the layout changes); false when even that
// cannot be done.
bool key(uint32_t keysym, bool down);
// Presses or releases the key at this place (a Linux input event code) and
// sends it, with the modifiers the keymap makes of what we hold.
void keyAtPlace(uint32_t evdevCode, bool down);

}  // namespace platform::wlroots_devices
