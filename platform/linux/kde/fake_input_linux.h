// KDE Plasma's fake input: kwin offers it only to programs its installed
// .desktop file vouches for, and then sends what they ask as if from a
// device of the seat. A separate file because its protocol glue is generated
// from the XML a KDE package installs: without that package the build takes
// kde/optional/fake_input_absent_linux.cpp instead, and KDE sessions get the X11 path.
#pragma once

#include <cstdint>

namespace platform::kde_fake_input {

// Binds the fake input on the input connection, when the compositor offers
// it in a version that can move the pointer to a point and press keys, and
// introduces the program; the compositor then creates its device. False
// when it is not offered (or the build has no KDE protocol XML).
bool bind();
bool bound();

// Compositor coordinates, as the wlroots path takes them.
void moveAbsolute(int32_t x, int32_t y);
void moveRelative(int32_t dx, int32_t dy);
// Linux input event codes, for buttons and keys alike.
void button(uint32_t code, bool down);
void key(uint32_t evdevCode, bool down);
// In the units of wl_pointer's axis: positive is down or to the right.
void axis(bool horizontal, double value);

}  // namespace platform::kde_fake_input
