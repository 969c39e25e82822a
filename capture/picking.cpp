#include "capture/picking.h"

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "store/click_steps.h"
#include "store/profiles.h"

bool pickTakesButton(int32_t button) {
    return button == button_code::Left || button == button_code::Right || button == button_code::Middle;
}

namespace {

// A picked step clicks as the clicker does now, after the usual wait.
ClickStep pickedStep(int32_t x, int32_t y) {
    const ClickerSettings& c = appState().clicker;
    ClickStep step;
    step.x = x;
    step.y = y;
    if (c.sbtn >= 0 && c.sbtn <= 2) step.button = c.sbtn;
    if (c.stype == 1) step.type = 1;
    return step;
}

}  // namespace

PickOutcome pickStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || !s.pickingLocation || !pickTakesButton(event.code)) return PickOutcome::NotHandled;
    if (event.code == button_code::Left && s.pickAddsStep) {
        s.pickingLocation.exchange(false);
        s.pickAddsStep = false;
        appendClickStep(pickedStep(event.x, event.y));
        return PickOutcome::Swallow;
    }
    if (event.code == button_code::Left) {
        takeFixedPoint(event.x, event.y);  // before the pick ends: whoever sees it end finds the point
        s.pickingLocation.exchange(false);
        return PickOutcome::Swallow;
    }
    cancelPick();  // the right or middle button
    return PickOutcome::Swallow;
}

PickOutcome pickKeyStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || event.code != kPickCancelKey || !s.pickingLocation) return PickOutcome::NotHandled;
    cancelPick();
    return PickOutcome::Swallow;
}

void cancelPick() {
    appState().pickingLocation.exchange(false);
    appState().pickAddsStep = false;
}

void takeFixedPoint(int32_t x, int32_t y) {
    ClickerSettings& c = appState().clicker;
    c.fixedX = x;
    c.fixedY = y;
    c.fixedPointChosen = true;
    c.locMode = AtFixedPoint;
    storeProfileSettings();
}
