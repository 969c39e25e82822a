// The four global hotkeys, each a key or button with the modifiers pressed
// with it, and the reassignment of a binding. The hook steps run on the
// input-capture thread only, the only user of the held and modifier state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "model/bindings.h"
#include "model/state.h"

// A hotkey's key or button and the modifiers that must be down with it.
struct HotkeyCombination {
    int32_t code = 0;
    int32_t modifiers = 0;  // a set of modifier_bit values
};

// The modifier a key is (Shift, Ctrl, Alt in any of their codes, either
// Windows key), 0 for every other key, the lock keys among them.
int32_t modifierOfKey(int32_t vk);
// Follows a person's modifier keys; the hooks call it for each key event.
// Synthetic modifiers are left out, as synthetic input fires no hotkey.
void noteModifierKey(int32_t vk, bool down);
// The modifiers a person holds now, leaving out the key vk itself (0 for
// none), so that a modifier key bound alone still fires. Right Alt counts
// as Alt, or as AltGr where asked (for the key spammer's target).
int32_t modifiersHeldBesides(int32_t vk, bool rightAltIsAltGr = false);
// The same after asking the system about each modifier key tracked as down
// and forgetting those it holds up: their releases can happen where the
// hooks do not see them (a locked session, a secure desktop, a prompt).
int32_t confirmedModifiersBesides(int32_t vk);
// Forgets every modifier key tracked as down; for a return from where the
// hooks were blind (unlock, a desktop switch, a resume).
void forgetHeldModifiers();

// True when the code is the key or button of one of the four hotkeys,
// whatever its modifiers (the key-spam target is no hotkey).
bool isHotkeyCode(int32_t code);

// What the hotkey step makes of an event.
struct HotkeyOutcome {
    bool swallow = false;
    bool recordable = true;  // false for a hotkey's press, its repeats and its release
};
// Edge detection for a keyboard key (virtual-key code) or a mouse button
// (button code 1 to 6) pressed with these modifiers: the first press of a
// hotkey's exact combination raises its request and is swallowed while
// hotkeys are on; the release goes where the press went; auto-repeats pass.
HotkeyOutcome keyboardHotkeyStep(int32_t vk, bool down, int32_t modifiers);
HotkeyOutcome mouseHotkeyStep(int32_t button, bool down, int32_t modifiers);
// A press swallowed before the hotkey step (a new binding): its release is
// swallowed too.
void keyPressSwallowed(int32_t vk);
void buttonPressSwallowed(int32_t button);

// The modifiers of a slot (a hotkey's, or the key-spam target's); nullptr for no slot.
std::atomic<int32_t>* modifiersOfSlot(ReassignSlot slot);
// A hotkey slot's binding with its modifiers.
HotkeyCombination hotkeyOfSlot(ReassignSlot slot);
// Whether a pending reassignment ends with this key: it waits on past a
// modifier key, which is held with the key that follows.
bool reassignmentEndsWithKey(ReassignSlot slot, int32_t vk);
// The page's and the status report's name of a hotkey: its modifiers in the
// order Ctrl, Alt, Shift, Super, each followed by '+', then its key or
// button ("Ctrl+Shift+F6").
std::string hotkeyName(HotkeyCombination hotkey);
// The key spammer's target with its modifiers, after what it types ("@ — AltGr+Q").
std::string keySpamTargetName();
// The virtual-key codes of the modifier keys a set of modifiers is pressed
// with, in the order they go down; returns how many.
int modifierKeysOf(int32_t modifiers, uint32_t (&keys)[5]);
