#include "capture/desktop_hotkeys.h"

#include "capture/hotkeys.h"
#include "model/bindings.h"
#include "model/state.h"

namespace {

const char* messageOfSlot(ReassignSlot slot) {
    switch (slot) {
    case ReassignSlot::Record: return "toggleRecording|";
    case ReassignSlot::Play: return "togglePlayback|";
    case ReassignSlot::AutoClick: return "toggleSpammer|";
    case ReassignSlot::KeySpamHotkey: return "toggleKeySpam|";
    default: return "";
    }
}

// As the page labels the hotkeys.
const char* nameOfSlot(ReassignSlot slot) {
    switch (slot) {
    case ReassignSlot::Record: return "Record";
    case ReassignSlot::Play: return "Play";
    case ReassignSlot::AutoClick: return "Auto click";
    case ReassignSlot::KeySpamHotkey: return "Key spam";
    default: return "";
    }
}

bool alreadyBound(const DesktopHotkeys& hotkeys, HotkeyCombination hotkey) {
    for (size_t i = 0; i < hotkeys.count; ++i)
        if (hotkeys.bindings[i].code == hotkey.code && hotkeys.bindings[i].modifiers == hotkey.modifiers) return true;
    return false;
}

}  // namespace

DesktopHotkeys desktopHotkeysFromState() {
    DesktopHotkeys hotkeys;
    // While a reassignment waits, the next press is the new binding, not a
    // command: the desktop must let it through to us.
    if (!appState().app.hotkeysEnabled || appState().reassignSlot != ReassignSlot::NoSlot) return hotkeys;
    for (ReassignSlot slot : kHotkeySlots) {
        const HotkeyCombination hotkey = hotkeyOfSlot(slot);
        if (hotkey.code <= 0 || alreadyBound(hotkeys, hotkey)) continue;
        hotkeys.bindings[hotkeys.count++] =
            DesktopHotkey{hotkey.code, hotkey.modifiers, messageOfSlot(slot), nameOfSlot(slot)};
    }
    return hotkeys;
}

const char* desktopHotkeyMessageOf(std::string_view command) {
    for (ReassignSlot slot : kHotkeySlots) {
        const std::string_view message = messageOfSlot(slot);
        if (message.substr(0, message.find('|')) == command) return messageOfSlot(slot);
    }
    return nullptr;
}
