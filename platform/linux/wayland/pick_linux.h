// Picking a point on a Wayland session. The compositor tells no program
// where the pointer is, and our X grabs see only the windows on XWayland, so
// while a pick waits a transparent full-screen surface of our own takes the
// next press; its presses and keys go to the hook logic as the X11
// observer's do, and the core decides what they mean.
#pragma once

namespace platform::wayland_pick {

// Called by the capture thread before each sleep: puts the surface up while
// a pick waits on a Wayland session and takes it down once it does not.
// Returns the connection's descriptor to wait on, -1 while there is none.
int follow(bool picking);
// After the sleep, when that descriptor had something: reads the
// compositor's events and hands the pointer's and keyboard's on.
void dispatch();

}  // namespace platform::wayland_pick
