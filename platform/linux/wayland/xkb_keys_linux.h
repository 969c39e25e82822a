// Which key types each keysym in an xkb keymap, and the modifiers its level
// needs: what the compositor's input devices press, since they take keys,
// not characters. Also which modifier keys our own presses hold, for the
// modifier state those devices must report along with the keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::xkb_keys {

inline constexpr int kKeycodes = 256;       // xkb keycodes: evdev codes + 8
inline constexpr uint32_t kEvdevOffset = 8;

struct KeyEntry {
    uint32_t keysym;
    uint32_t evdevCode;
    uint32_t levelModifiers;
};

struct Keymap {
    std::vector<KeyEntry> keys;
    uint32_t modifiersOfKey[kKeycodes] = {};  // depressed while the key is held
    uint32_t lockOfKey[kKeycodes] = {};       // toggled by a press of the key
    uint32_t keyOfModifier[32] = {};          // a key that holds just this bit and locks nothing; 0: none
    uint32_t lockKeyOf[32] = {};              // a key that locks just this bit; 0: none
};

// The layout in `text` (a keymap as wl_keyboard hands it over) or, where it
// is empty, the one named by the usual XKB_DEFAULT_* variables, else the
// system's default, learned into `keymap`; `text` then holds the keymap for
// a compositor that takes it from us. False when it cannot be compiled.
// Called before any key is sent, and again for a layout switched while we run.
bool learn(Keymap& keymap, std::string& text);

// The modifier state that keys pressed by place leave on a keymap, as a
// compositor's virtual keyboard must be told it. Changed under a lock of its
// own: several engine threads may press keys.
struct PlacedModifiers {
    uint32_t depressed = 0, latched = 0, locked = 0, group = 0;
};
// Starts following presses on the keymap `text` (again for a new layout);
// false when it cannot be compiled, and the old one stays.
bool followPresses(const std::string& text);
// Notes a press or release of the key at this place (a Linux input event
// code); the state the modifiers are in after it.
PlacedModifiers notePlacedKey(uint32_t evdevCode, bool down);
// The keymap `text` with each of `keysyms` bound, alone on its first level,
// to a key the layout leaves empty (the highest such keycodes first), as
// xkbcommon writes keymaps out; "" when it has too few empty keys or the
// result does not compile. The other keys keep their places and levels.
std::string withLentKeys(const std::string& text, const std::vector<uint32_t>& keysyms);

// The key that types a keysym, preferring the first level; nullptr if none.
const KeyEntry* keyFor(const Keymap& keymap, uint32_t keysym);

// Notes a key we sent; for modifier and lock keys, what they hold and lock.
void noteSent(const Keymap& keymap, uint32_t keycode, bool down);
// The modifiers the keys we hold now hold, and those we locked.
uint32_t heldModifiers(const Keymap& keymap);
uint32_t lockedModifiers();

}  // namespace platform::xkb_keys
