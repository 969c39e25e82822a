// From X keys to the Windows virtual-key codes that the portable core speaks.
#pragma once

#include <X11/X.h>

#include <cstdint>

// The virtual-key code of a keysym, 0 when it has none.
int32_t virtualKeyForKeysym(KeySym keysym);
