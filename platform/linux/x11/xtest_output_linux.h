// Synthetic input through XTest: reaches the windows of X11 programs (all of
// them on an X11 session, those on XWayland on a Wayland one).
#pragma once

#include <cstdint>

namespace platform::xtest_output {

// Whether the X display and its XTest extension could be opened.
bool ready();

// Root-window pixels.
void moveAbsolute(int32_t x, int32_t y);
// 0..65535 over the screen, as the stored records carry it.
void moveNormalised(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes (BTN_LEFT ...), sent through the pointer map.
void button(uint32_t code, bool down);
// Whole wheel steps; positive turns away from the user (up) or to the right.
void wheel(bool horizontal, int32_t steps);
// Ends one pointer record and sends it.
void endPointerFrame();
// Presses or releases the key of a virtual-key code on the active layout
// (lending a spare keycode to a key the keyboard lacks) and sends it; false
// when there is no display or no keycode to be had.
bool key(uint32_t vk, bool down);

// Types one character: the key of the active layout that types it, with
// Shift and AltGr as its level needs, else a spare keycode lent its keysym;
// false when there is no display or no way to type it.
bool typeCharacter(char32_t character);
// The keysym of a character (0 for none): its own where X names it, else the
// Unicode keysym.
unsigned long keysymOfCharacter(char32_t character);

// The place of the key of a virtual-key code on the active layout, as a
// Linux input event code (the X keycode less 8); 0 when the keyboard has no
// such key, and for the pad's digits, which go by their keysyms.
uint32_t keyPlaceOf(uint32_t vk);

// What the key of a virtual-key code types at its first level on the active
// layout (an X keysym); 0 when the keyboard has no such key.
unsigned long keysymTypedBy(uint32_t vk);
// The same at a level of the key's type (0 plain, 1 Shift, 2 AltGr, 3 both).
unsigned long keysymTypedBy(uint32_t vk, int level);

// Gives keycodes lent to keys the layout lacks back to the layout. Called at
// the very end of the process, after every sender has stopped.
void returnLentKeycodes();

}  // namespace platform::xtest_output
