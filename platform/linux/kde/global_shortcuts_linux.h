// Hotkeys on KDE Plasma's Wayland session: actions of our own component in
// KDE's shortcut service, reached over the session bus. kwin sees every key
// and tells us when one of our shortcuts was pressed; our X11 grabs would see
// only the keys that go to X11 windows. Used where kwin granted us its fake
// input, the sign of a Plasma session that lets us act on its windows.
#pragma once

#include <cstdint>

#include "capture/desktop_hotkeys.h"

namespace platform::kde_shortcuts {

// Makes our shortcuts match the wish: the wanted ones set, the others left
// without a key. Nothing outside Plasma or when nothing changed. The first
// call on Plasma starts the thread that waits for presses. Capture thread only.
void follow(const DesktopHotkeys& wanted);
// Removes our actions at exit, giving their keys back, and ends the thread.
// Capture thread only.
void release();

// The key code KDE's shortcut service takes for a key (a virtual-key code)
// with modifiers (modifier_bit values): Qt's code of the key with Qt's
// modifier bits. 0 for what it cannot bind: mouse buttons, a modifier key
// alone, the numeric pad, keys it has no code for.
int32_t qtKeyCodeOf(int32_t code, int32_t modifiers);

}  // namespace platform::kde_shortcuts
