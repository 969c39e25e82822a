// From the Windows virtual-key codes Varnet stores everywhere to the X11
// keysyms it sends, and the names shown for them. Pure tables: no X connection.
#pragma once

#include <cstdint>

namespace keymap {

using Keysym = unsigned long;  // X11 KeySym

// The keysym of the key the code stands for; 0 (NoSymbol) when none. Letters
// give their lower-case keysym, the numeric-pad digits their keypad keysym.
Keysym keysymForVirtualKey(uint32_t vk);
// The name Windows shows for the standard keys of a US keyboard; nullptr when
// the code has none there.
const char* standardKeyName(uint32_t vk);

}  // namespace keymap
