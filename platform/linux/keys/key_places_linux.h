// Keys by their place on the keyboard, named with the Windows virtual-key
// codes the portable core stores, as a Windows hook names a person's key:
// - a letter key by the Latin letter it types on the active layout and group
//   (VK_A..VK_Z: on a German keyboard Y and Z swap, on a French one A and Q);
// - the keys that type + , - . at their first level by those characters
//   (VK_OEM_PLUS, VK_OEM_COMMA, VK_OEM_MINUS, VK_OEM_PERIOD), wherever they sit;
// - the other keys of the typing block and the numeric pad by their place:
//   the code that key has on a US keyboard (the digit row VK_0..VK_9
//   whatever it types, the punctuation keys as the OEM codes of their place,
//   the key left of Z 0xE2, dead keys as the key they sit on);
// - function, editing, media and modifier keys by what they type, so a key
//   the person remapped (Caps Lock made Escape) is named as it acts, else by
//   place (Right Alt 0xA5 also where it is AltGr);
// - a key whose place code another key took by its character takes the
//   place code that key left, so no two keys share a code (the German ´ key
//   sits where US has =, whose code the + key took: it gets the + key's
//   place code, VK_OEM_6, as Windows gives it).
// A letter key of a non-Latin layout (Cyrillic, Greek...) keeps its place's code.
#pragma once

#include <cstdint>

namespace key_places {

inline constexpr int kKeycodes = 256;     // X keycodes: evdev codes + 8
inline constexpr uint32_t kEvdevOffset = 8;

// The code of the key at this place (a Linux input event code) on a US
// keyboard; 0 for a place it has none for.
int32_t usCodeOfPlace(uint32_t evdevCode);

// The code of every keycode, from what each types at its first level in the
// active group (0: nothing, and then the keycode is no key of this layout and
// gets no code).
void codesOfKeycodes(const unsigned long (&firstLevelKeysym)[kKeycodes], int32_t (&codeOfKeycode)[kKeycodes]);

}  // namespace key_places
