// Built without KDE's protocol XML: the fake input is never taken, so
// nothing below is ever called.
#include "platform/linux/kde/fake_input_linux.h"

namespace platform::kde_fake_input {

bool bind() { return false; }
bool bound() { return false; }
void moveAbsolute(int32_t, int32_t) {}
void moveRelative(int32_t, int32_t) {}
void button(uint32_t, bool) {}
void key(uint32_t, bool) {}
void axis(bool, double) {}

}  // namespace platform::kde_fake_input
