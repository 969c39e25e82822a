#include "capture/picking.h"

#include "app/state.h"
#include "app/state_changes.h"
#include "bridge/page_calls.h"
#include "store/profiles.h"

namespace {

constexpr int32_t kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;
constexpr int32_t kEscape = 27;

}  // namespace

PickOutcome pickStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || !s.pickingLocation) return PickOutcome::NotHandled;
    if (event.code == kLeftButton) {
        s.clicker.fixedX = event.x;
        s.clicker.fixedY = event.y;
        s.clicker.locMode = 1;
        s.pickingLocation.exchange(false);
        storeProfileSettings();
        return PickOutcome::Swallow;
    }
    if (event.code == kRightButton || event.code == kMiddleButton) {
        s.pickingLocation.exchange(false);
        return PickOutcome::Swallow;
    }
    return PickOutcome::NotHandled;
}

PickOutcome pickKeyStep(const InputEvent& event) {
    AppState& s = appState();
    if (!event.down || event.code != kEscape || !s.pickingLocation) return PickOutcome::NotHandled;
    s.pickingLocation.exchange(false);
    return PickOutcome::Swallow;
}

std::string callPickLocation(const std::string&) {
    appState().pickingLocation.exchange(true);
    announceStateChange();
    return "";
}
