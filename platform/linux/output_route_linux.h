// Which way synthetic input leaves the program on Linux.
#pragma once

namespace platform::output_route {

// Makes the compositor's input devices, or asks the desktop portal for a
// session where the compositor offers none, so the seat has a pointer and a
// keyboard before the first event. Only the first call does anything; the
// first record sent calls it too.
void start();

}  // namespace platform::output_route
