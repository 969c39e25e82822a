#include "capture/hotkeys.h"

#include <atomic>
#include <iterator>
#include <string>

#include "model/bindings.h"
#include "model/mouse_buttons.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"

namespace {

// Each modifier key code with the modifier it is; a key's bit in
// modifierKeysDown is its index here.
struct ModifierKey {
    int32_t vk;
    int32_t modifier;
};
constexpr ModifierKey kModifierKeys[] = {
    {0x10, modifier_bit::Shift}, {0x11, modifier_bit::Ctrl},  {0x12, modifier_bit::Alt},
    {0x5B, modifier_bit::Super}, {0x5C, modifier_bit::Super}, {0xA0, modifier_bit::Shift},
    {0xA1, modifier_bit::Shift}, {0xA2, modifier_bit::Ctrl},  {0xA3, modifier_bit::Ctrl},
    {0xA4, modifier_bit::Alt},   {0xA5, modifier_bit::Alt},
};
static_assert(std::size(kModifierKeys) <= 16, "modifierKeysDown has a bit per modifier key");

struct ModifierName {
    int32_t modifier;
    const char* prefix;
};
constexpr ModifierName kModifierNames[] = {
    {modifier_bit::Ctrl, "Ctrl+"},   {modifier_bit::Alt, "Alt+"},     {modifier_bit::AltGr, "AltGr+"},
    {modifier_bit::Shift, "Shift+"}, {modifier_bit::Super, "Super+"},
};
// The key each modifier is pressed with: the left ones, and Right Alt for AltGr.
constexpr ModifierKey kModifierPresses[] = {{0xA2, modifier_bit::Ctrl},  {0xA4, modifier_bit::Alt},
                                            {0xA5, modifier_bit::AltGr}, {0xA0, modifier_bit::Shift},
                                            {0x5B, modifier_bit::Super}};

bool matches(const std::atomic<int32_t>& code, const std::atomic<int32_t>& modifiers, HotkeyCombination pressed) {
    return code == pressed.code && modifiers == pressed.modifiers;
}

// The request of the first hotkey that is this combination, in the order
// record, play, auto-click, key spam; nullptr when none is.
std::atomic<bool>* requestForHotkey(HotkeyCombination pressed) {
    AppState& s = appState();
    const HotkeySet& h = s.hotkeys;
    if (matches(h.hkRec, h.hkRecMods, pressed)) return &s.toggleRecordingRequested;
    if (matches(h.hkPlay, h.hkPlayMods, pressed)) return &s.togglePlaybackRequested;
    if (matches(h.hkAuto, h.hkAutoMods, pressed)) return &s.toggleSpammerRequested;
    if (matches(h.hkKeySpam, h.hkKeySpamMods, pressed)) return &s.toggleKeySpamRequested;
    return nullptr;
}

HotkeyOutcome hotkeyStep(bool& held, PressFate& fate, HotkeyCombination pressed, bool down) {
    if (!down) {
        const HotkeyOutcome outcome{fate == PressFate::Swallowed, fate == PressFate::Passed};
        held = false;
        fate = PressFate::Passed;
        return outcome;
    }
    // An auto-repeat: the first press fired already.
    if (held) return {false, fate == PressFate::Passed};
    held = true;
    std::atomic<bool>* request = requestForHotkey(pressed);
    if (!request) {
        fate = PressFate::Passed;
        return {};
    }
    if (!appState().app.hotkeysEnabled) {
        fate = PressFate::HotkeyPassed;
        return {false, false};
    }
    raiseRequest(*request);
    fate = PressFate::Swallowed;
    return {true, false};
}

}  // namespace

bool isHotkeyCode(int32_t code) {
    for (ReassignSlot slot : kHotkeySlots)
        if (bindingOfSlot(slot)->load() == code) return true;
    return false;
}

int32_t modifierOfKey(int32_t vk) {
    for (const ModifierKey& key : kModifierKeys)
        if (key.vk == vk) return key.modifier;
    return 0;
}

void noteModifierKey(int32_t vk, bool down) {
    for (size_t i = 0; i < std::size(kModifierKeys); ++i) {
        if (kModifierKeys[i].vk != vk) continue;
        const uint16_t bit = uint16_t(1u << i);
        if (down) {
            appState().modifierKeysDown.fetch_or(bit);
        } else {
            appState().modifierKeysDown.fetch_and(uint16_t(~bit));
        }
    }
}

int32_t modifiersHeldBesides(int32_t vk, bool rightAltIsAltGr) {
    const uint16_t keys = appState().modifierKeysDown;
    int32_t modifiers = 0;
    for (size_t i = 0; i < std::size(kModifierKeys); ++i) {
        if (!(keys >> i & 1) || kModifierKeys[i].vk == vk) continue;
        const bool altGr = rightAltIsAltGr && kModifierKeys[i].vk == 0xA5;
        modifiers |= altGr ? modifier_bit::AltGr : kModifierKeys[i].modifier;
    }
    return modifiers;
}

int32_t confirmedModifiersBesides(int32_t vk) {
    std::atomic<uint16_t>& keys = appState().modifierKeysDown;
    for (size_t i = 0; keys != 0 && i < std::size(kModifierKeys); ++i) {
        const int32_t key = kModifierKeys[i].vk;
        if ((keys >> i & 1) && key != vk && platform::keyStateNow(key) == platform::KeyState::Up)
            keys.fetch_and(uint16_t(~(1u << i)));
    }
    return modifiersHeldBesides(vk);
}

void forgetHeldModifiers() { appState().modifierKeysDown = 0; }

HotkeyOutcome keyboardHotkeyStep(int32_t vk, bool down, int32_t modifiers) {
    if (vk < 0 || vk > 255) return {};
    AppState& s = appState();
    return hotkeyStep(s.heldKeys[vk], s.keyPressFates[vk], {vk, modifiers}, down);
}

HotkeyOutcome mouseHotkeyStep(int32_t button, bool down, int32_t modifiers) {
    if (button < 1 || button > kLastButtonCode) return {};
    AppState& s = appState();
    return hotkeyStep(s.heldButtons[button], s.buttonPressFates[button], {button, modifiers}, down);
}

void keyPressSwallowed(int32_t vk) {
    if (vk < 0 || vk > 255) return;
    appState().heldKeys[vk] = true;
    appState().keyPressFates[vk] = PressFate::Swallowed;
}

void buttonPressSwallowed(int32_t button) {
    if (button < 1 || button > kLastButtonCode) return;
    appState().heldButtons[button] = true;
    appState().buttonPressFates[button] = PressFate::Swallowed;
}

std::atomic<int32_t>* modifiersOfSlot(ReassignSlot slot) {
    HotkeySet& h = appState().hotkeys;
    switch (slot) {
    case ReassignSlot::Record: return &h.hkRecMods;
    case ReassignSlot::Play: return &h.hkPlayMods;
    case ReassignSlot::AutoClick: return &h.hkAutoMods;
    case ReassignSlot::KeySpamHotkey: return &h.hkKeySpamMods;
    case ReassignSlot::KeySpamTarget: return &appState().keySpam.keySpamTargetMods;
    default: return nullptr;
    }
}

HotkeyCombination hotkeyOfSlot(ReassignSlot slot) {
    const std::atomic<int32_t>* code = bindingOfSlot(slot);
    const std::atomic<int32_t>* modifiers = modifiersOfSlot(slot);
    return {code ? code->load() : 0, modifiers ? modifiers->load() : 0};
}

bool reassignmentEndsWithKey(ReassignSlot slot, int32_t vk) {
    return slot != ReassignSlot::NoSlot && modifierOfKey(vk) == 0 && vk != kKeyWithoutCode;
}

std::string hotkeyName(HotkeyCombination hotkey) {
    std::string name;
    for (const ModifierName& modifier : kModifierNames)
        if (hotkey.modifiers & modifier.modifier) name += modifier.prefix;
    return name + bindingName(hotkey.code);
}

// With modifiers, what the key then types comes first, as the layout shows it ("@ — AltGr+Q").
std::string keySpamTargetName() {
    const HotkeyCombination target = hotkeyOfSlot(ReassignSlot::KeySpamTarget);
    const std::string typed = target.modifiers ? platform::keyTypedText(target.code, target.modifiers) : "";
    return typed.empty() ? hotkeyName(target) : typed + " — " + hotkeyName(target);
}

int modifierKeysOf(int32_t modifiers, uint32_t (&keys)[5]) {
    int count = 0;
    for (const ModifierKey& press : kModifierPresses)
        if (modifiers & press.modifier) keys[count++] = uint32_t(press.vk);
    return count;
}
