#include "capture/hotkeys.h"

#include <atomic>
#include <string>

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "model/state_changes.h"

namespace {

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
