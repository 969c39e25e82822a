// Takes the hooks' precedence (a pick, then a new binding, then the hotkeys)
// as a union: whatever one step would swallow is in the plan.
#include "capture/swallow_plan.h"

#include "capture/hotkeys.h"
#include "capture/picking.h"
#include "model/state.h"

namespace {

// A binding's code names a mouse button or a key.
void takePressesOf(SwallowPlan& plan, int32_t code) {
    if (isButtonCode(code)) {
        plan.buttons.set(size_t(code));
    } else if (code > 0 && code < int32_t(plan.keys.size())) {
        plan.keys.set(size_t(code));
    }
}

void takeHotkeys(SwallowPlan& plan) {
    for (ReassignSlot slot : kHotkeySlots) takePressesOf(plan, bindingOfSlot(slot)->load());
}

void takeWhatABindingMayBe(SwallowPlan& plan, ReassignSlot slot) {
    plan.everyKey = true;
    for (int32_t button : kButtonCodes)
        if (reassignmentTakesButton(slot, button)) plan.buttons.set(size_t(button));
}

void takeWhatEndsAPick(SwallowPlan& plan) {
    for (int32_t button : kButtonCodes) {
        if (!pickTakesButton(button)) continue;
        if (!plan.buttons.test(size_t(button))) plan.pickOnlyButtons.set(size_t(button));
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
    if (s.pickingLocation) takeWhatEndsAPick(plan);
    return plan;
}
