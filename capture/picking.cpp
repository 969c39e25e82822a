#include "capture/picking.h"

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "store/profiles.h"

bool pickTakesButton(int32_t button) {
    return button == button_code::Left || button == button_code::Right || button == button_code::Middle;
}

PickOutcome pickStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || !s.pickingLocation || !pickTakesButton(event.code)) return PickOutcome::NotHandled;
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

void cancelPick() { appState().pickingLocation.exchange(false); }

void takeFixedPoint(int32_t x, int32_t y) {
    ClickerSettings& c = appState().clicker;
    c.fixedX = x;
    c.fixedY = y;
    c.fixedPointChosen = true;
    c.locMode = 1;
    storeProfileSettings();
}
