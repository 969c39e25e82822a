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
    s.pickingLocation.exchange(false);  // the right or middle button cancels
    return PickOutcome::Swallow;
}

PickOutcome pickKeyStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || event.code != kPickCancelKey || !s.pickingLocation) return PickOutcome::NotHandled;
    s.pickingLocation.exchange(false);
    return PickOutcome::Swallow;
}
