// Takes the hooks' precedence (a pick, then a new binding, then the hotkeys)
// as a union: whatever one step would swallow is in the plan.
#include "capture/swallow_plan.h"

#include "capture/hotkeys.h"
#include "capture/picking.h"
#include "model/state.h"

namespace {

void takeHotkeys(SwallowPlan& plan) {
    for (ReassignSlot slot : kHotkeySlots) {
        const HotkeyCombination hotkey = hotkeyOfSlot(slot);
        if (hotkey.code > 0 && hotkey.code < 256) plan.hotkeys[plan.hotkeyCount++] = hotkey;
    }
}

bool hotkeyTakes(const SwallowPlan& plan, int32_t code, int32_t modifiers) {
    for (size_t i = 0; i < plan.hotkeyCount; ++i)
        if (plan.hotkeys[i].code == code && plan.hotkeys[i].modifiers == modifiers) return true;
    return false;
}

void takeWhatABindingMayBe(SwallowPlan& plan, ReassignSlot slot) {
    plan.everyKey = true;
    // A modifier key pressed first is held with the key that ends the wait.
    plan.modifiersPass = slot != ReassignSlot::NoSlot;
    for (int32_t button : kButtonCodes)
        if (reassignmentTakesButton(slot, button)) plan.buttons.set(size_t(button));
}

void takeWhatEndsAPick(SwallowPlan& plan, bool hotkeysOn) {
    for (int32_t button : kButtonCodes) {
        if (!pickTakesButton(button)) continue;
        if (!plan.buttons.test(size_t(button)) && !(hotkeysOn && isHotkeyCode(button)))
            plan.pickOnlyButtons.set(size_t(button));
        plan.buttons.set(size_t(button));
    }
    plan.keys.set(size_t(kPickCancelKey));
}

}  // namespace

SwallowPlan swallowPlanFromState() {
    const AppState& s = appState();
    SwallowPlan plan;
    if (s.app.hotkeysEnabled) takeHotkeys(plan);
    const ReassignSlot slot = s.reassignSlot;
    if (slot != ReassignSlot::NoSlot) takeWhatABindingMayBe(plan, slot);
    // Last, so that a button another step takes keeps its release away from the windows.
    if (s.pickingLocation) takeWhatEndsAPick(plan, s.app.hotkeysEnabled);
    return plan;
}

bool planTakesKey(const SwallowPlan& plan, int32_t vk, int32_t modifiers) {
    if (plan.everyKey) return !plan.modifiersPass || modifierOfKey(vk) == 0;
    if (vk < 0 || vk >= int32_t(plan.keys.size()) || isButtonCode(vk)) return false;
    return plan.keys.test(size_t(vk)) || hotkeyTakes(plan, vk, modifiers);
}

bool planTakesButton(const SwallowPlan& plan, int32_t button, int32_t modifiers) {
    if (!isButtonCode(button)) return false;
    return plan.buttons.test(size_t(button)) || hotkeyTakes(plan, button, modifiers);
}
