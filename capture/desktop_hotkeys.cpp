#include "capture/desktop_hotkeys.h"

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

bool alreadyBound(const DesktopHotkeys& hotkeys, int32_t code) {
    for (size_t i = 0; i < hotkeys.count; ++i)
        if (hotkeys.bindings[i].code == code) return true;
    return false;
}

}  // namespace

DesktopHotkeys desktopHotkeysFromState() {
    DesktopHotkeys hotkeys;
    if (!appState().app.hotkeysEnabled) return hotkeys;
    for (ReassignSlot slot : kHotkeySlots) {
        const int32_t code = *bindingOfSlot(slot);
        if (code <= 0 || alreadyBound(hotkeys, code)) continue;
        hotkeys.bindings[hotkeys.count++] = DesktopHotkey{code, messageOfSlot(slot)};
    }
    return hotkeys;
}
