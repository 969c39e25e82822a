// Synthetic input on KDE Plasma through kwin's fake input, on the input
// connection: the pointer in the layout's coordinates, keys by the key that
// types them in the layout the program compiles (the one kwin reads from the
// same XKB_DEFAULT_* variables).
#pragma once

#include <cstdint>

namespace platform::kde_output {

// Binds the fake input and learns the keymap; false when kwin does not offer
// it. Called once, after the input connection is up.
bool open();
// Whether it was bound and the connection still holds.
bool ready();

void moveAbsolute(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes (BTN_LEFT 0x110 ...).
void button(uint32_t code, bool down);
// Whole wheel steps; positive turns away from the user (up) or to the right.
void wheel(bool horizontal, int32_t steps);
void endPointerFrame();
// Presses or releases the key that types this keysym, between presses of
// the modifier keys its level needs, and sends it; false when the keymap has
// no such key.
bool key(uint32_t keysym, bool down);
// Presses or releases the key at this place (a Linux input event code):
// kwin reads it with the person's own layout.
void keyAtPlace(uint32_t evdevCode, bool down);

}  // namespace platform::kde_output
