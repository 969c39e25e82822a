#include "capture/hotkeys.h"

#include <atomic>
#include <string>

#include "app/settings_fields.h"
#include "app/state.h"
#include "app/state_changes.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"

namespace {

const char* const kSlotNames[] = {"", "rec", "play", "auto", "keyspamhotkey", "keyspamtarget"};
constexpr int32_t kSlotCount = 6;
constexpr int32_t kKeySpamTargetSlot = 5;
constexpr int32_t kLeftButton = 1;
constexpr int32_t kEscape = 27;

// The request of the first hotkey bound to the code, in the order record,
// play, auto-click, key spam; nullptr when none is.
std::atomic<bool>* requestForHotkey(int32_t code) {
    AppState& s = appState();
    if (code == s.hotkeys.hkRec) return &s.toggleRecordingRequested;
    if (code == s.hotkeys.hkPlay) return &s.togglePlaybackRequested;
    if (code == s.hotkeys.hkAuto) return &s.toggleSpammerRequested;
    if (code == s.hotkeys.hkKeySpam) return &s.toggleKeySpamRequested;
    return nullptr;
}

bool hotkeyStep(bool& held, int32_t code, bool down) {
    if (!down) {
        held = false;
        return isHotkeyCode(code);
    }
    if (held) return false;  // an auto-repeat: fired on the first press already
    held = true;
    std::atomic<bool>* request = requestForHotkey(code);
    if (!request) return false;
    raiseRequest(*request);
    return true;
}

}  // namespace

bool isHotkeyCode(int32_t code) { return requestForHotkey(code) != nullptr; }

bool keyboardHotkeyStep(int32_t vk, bool down) {
    if (vk < 0 || vk > 255) return false;
    return hotkeyStep(appState().heldKeys[vk], vk, down);
}

bool mouseHotkeyStep(int32_t button, bool down) {
    if (button < 1 || button > 6) return false;
    return hotkeyStep(appState().heldButtons[button], button, down);
}

std::atomic<int32_t>* bindingOfSlot(int32_t slot) {
    AppState& s = appState();
    switch (slot) {
    case 1: return &s.hotkeys.hkRec;
    case 2: return &s.hotkeys.hkPlay;
    case 3: return &s.hotkeys.hkAuto;
    case 4: return &s.hotkeys.hkKeySpam;
    case 5: return &s.keySpam.keySpamTarget;
    default: return nullptr;
    }
}

bool bindingAcceptable(int32_t slot, int32_t code) {
    const bool isMouseButton = code == 1 || code == 2 || code == 4 || code == 5 || code == 6;
    if (code < 1 || code > 254 || code == kEscape || code == kLeftButton) return false;
    return slot != kKeySpamTargetSlot || !isMouseButton;
}

void replaceRefusedBindings() {
    for (int32_t slot = 1; slot < kSlotCount; ++slot) {
        std::atomic<int32_t>& binding = *bindingOfSlot(slot);
        if (!bindingAcceptable(slot, binding)) restoreDefault(binding);
    }
}

const char* reassignSlotName(int32_t slot) {
    return slot > 0 && slot < kSlotCount ? kSlotNames[slot] : "";
}

std::string callReassignKey(const std::string& args) {
    const std::string name = stripArgumentText(args);
    for (int32_t slot = 1; slot < kSlotCount; ++slot) {
        if (name == kSlotNames[slot]) {
            appState().reassignSlot.exchange(slot);
            announceStateChange();
            break;
        }
    }
    return "";
}

std::string callResetHotkeys(const std::string&) {
    resetHotkeyDefaults();
    announceStateChange();
    return "";
}
