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
        s.clicker.fixedX = event.x;
        s.clicker.fixedY = event.y;
        s.clicker.locMode = 1;
        s.pickingLocation.exchange(false);
        storeProfileSettings();
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
