// Synthetic input through a wlroots compositor's virtual pointer and virtual
// keyboard, or else kwin's fake input, or else the desktop portal's remote
// desktop once the person grants it, used instead of XTest when the session
// offers them: XTest would reach only the windows of X11 programs.
#pragma once

#include <cstdint>

namespace platform::wayland_output {

// Whether the compositor gave us both virtual devices, or its fake input, or
// the portal's session is granted. The first call
// connects (when WAYLAND_DISPLAY is set) and creates them, so the seat has a
// pointer and a keyboard before the first event; later calls only look.
bool active();

// Positions are in the compositor's layout, the coordinates X11 programs on
// its XWayland see.
void moveAbsolute(int32_t x, int32_t y);
// The same in 0..65535 over the whole layout, as the stored records carry it.
void moveNormalised(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes (BTN_LEFT 0x110 ...).
void button(uint32_t code, bool down);
// Whole wheel steps; positive turns away from the user (up) or to the right.
void wheel(bool horizontal, int32_t steps);
// Ends one pointer record and sends it.
void endPointerFrame();
// Presses or releases the key that types this keysym, with the modifiers
// its level needs; false when the keymap has no such key.
bool key(uint32_t keysym, bool down);

}  // namespace platform::wayland_output
