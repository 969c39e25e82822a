// Hotkeys on sway: bindings added at run time through its command socket
// ($SWAYSOCK), each running `varnet --command` with its hotkey's message. The
// compositor sees every key, where our X11 grabs would see only the keys
// that go to X11 windows.
#pragma once

#include "capture/desktop_hotkeys.h"

namespace platform::sway_hotkeys {

// Makes sway's bindings match the wish, replacing the ones made before;
// nothing outside sway or when nothing changed. Capture thread only.
void follow(const DesktopHotkeys& wanted);

}  // namespace platform::sway_hotkeys
