#include "model/bindings.h"

#include "model/mouse_buttons.h"
#include "model/settings_fields.h"

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

}  // namespace

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
