// Input capture on X11: raw events of every device handed to the hook logic,
// and the grabs that carry out the core's swallow plan. Capture thread only.
#pragma once

namespace platform::x11_capture {

// Opens the observing and the grabbing connections; false without a display
// (or without XInput 2.2), and then nothing is held.
bool open();
// Gives every grab back and closes both connections.
void close();

// The connections' descriptors, to wait on.
int observerFd();
int grabsFd();

// Takes and gives back grabs until they carry out the swallow plan of the
// state as it is now.
void followState();
// Whether events were read already (while the grabs changed), which a wait
// on the descriptors would not see.
bool eventsQueued();
// Whether the keyboard grab the plan wants was refused (another client holds
// one): it is tried again in short steps until it is held.
bool keyboardGrabRefused();
// Hands every event read or waiting to the hook logic and the grabs.
void handleEvents();

}  // namespace platform::x11_capture
