#include "capture/hotkeys.h"

#include <atomic>
#include <string>

#include "app/settings_fields.h"
#include "app/state.h"
#include "app/state_changes.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"
#include "capture/mouse_buttons.h"

namespace {

struct SlotFacts {
    ReassignSlot slot;
    const char* name;  // the page's and the pipe's
};

const SlotFacts kSlots[] = {
    {ReassignSlot::Record, "rec"},
    {ReassignSlot::Play, "play"},
    {ReassignSlot::AutoClick, "auto"},
    {ReassignSlot::KeySpamHotkey, "keyspamhotkey"},
    {ReassignSlot::KeySpamTarget, "keyspamtarget"},
};
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
    if (button < 1 || button > kLastButtonCode) return false;
    return hotkeyStep(appState().heldButtons[button], button, down);
}

std::atomic<int32_t>* bindingOfSlot(ReassignSlot slot) {
    AppState& s = appState();
    switch (slot) {
    case ReassignSlot::Record: return &s.hotkeys.hkRec;
    case ReassignSlot::Play: return &s.hotkeys.hkPlay;
    case ReassignSlot::AutoClick: return &s.hotkeys.hkAuto;
    case ReassignSlot::KeySpamHotkey: return &s.hotkeys.hkKeySpam;
    case ReassignSlot::KeySpamTarget: return &s.keySpam.keySpamTarget;
    default: return nullptr;
    }
}

bool bindingAcceptable(ReassignSlot slot, int32_t code) {
    if (code < 1 || code > 254 || code == kEscape || code == button_code::Left) return false;
    return slot != ReassignSlot::KeySpamTarget || !isButtonCode(code);
}

bool reassignmentTakesButton(ReassignSlot slot, int32_t button) {
    return slot != ReassignSlot::NoSlot && bindingAcceptable(slot, button);
}

void replaceRefusedBindings() {
    for (const SlotFacts& facts : kSlots) {
        std::atomic<int32_t>& binding = *bindingOfSlot(facts.slot);
        if (!bindingAcceptable(facts.slot, binding)) restoreDefault(binding);
    }
}

const char* reassignSlotName(ReassignSlot slot) {
    for (const SlotFacts& facts : kSlots)
        if (facts.slot == slot) return facts.name;
    return "";
}

std::string callReassignKey(const std::string& args) {
    const std::string name = stripArgumentText(args);
    for (const SlotFacts& facts : kSlots) {
        if (name == facts.name) {
            appState().reassignSlot.exchange(facts.slot);
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
