// The swallows of the input hooks, made in advance on X11: a connection of its
// own holds grabs that carry out the core's swallow plan, so the key or button
// that a hook would swallow is routed to us instead of the focused window.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <bitset>
#include <cstdint>

#include "model/state.h"
#include "capture/swallow_plan.h"

// The modifier combinations of a key or button that are grabbed: bit m for
// the set of modifiers m (modifier_bit values), or every combination at once.
using GrabbedCombinations = uint32_t;
constexpr GrabbedCombinations kEveryCombination = 1u << (kAllModifiers + 1);

// The X modifier masks of the modifiers a hotkey may carry (0 where the
// keyboard map puts that modifier on no mask), and every combination of the
// lock keys' masks, none of them included.
struct ModifierMasks {
    unsigned ctrl = ControlMask, alt = 0, shift = ShiftMask, super = 0;
    unsigned lockCombinations[8] = {0};
    int lockCombinationCount = 1;
    bool operator==(const ModifierMasks&) const = default;
};

struct GrabWish {
    std::array<GrabbedCombinations, 256> keys{};   // by keycode, grabbed passively
    std::array<GrabbedCombinations, 16> buttons{}; // by X button, grabbed passively
    bool keyboard = false;   // the whole keyboard
    ModifierMasks masks;
};

struct GrabState {
    Display* display = nullptr;
    Window root = 0;
    GrabWish held;
    bool keyboardHeld = false;
    std::bitset<256> keysDown;  // keys pressed while we held the keyboard
};

// The masks of the server's modifier map as it is now.
ModifierMasks modifierMasksOf(Display* display);

// The grabs that carry out the plan. vkOfKeycode maps keycodes to virtual keys.
GrabWish grabWishFor(const SwallowPlan& plan, const int32_t (&vkOfKeycode)[256], const ModifierMasks& masks);

// Takes and gives back grabs until they match the wish.
void applyGrabWish(GrabState& grabs, const GrabWish& wish);

// Handles the events that the grabs route to us.
void drainGrabEvents(GrabState& grabs);

// The X button of a button code, 0 if none; and the button code of an X
// button, 0 for the wheel's buttons and any other.
int xButtonForCode(int32_t code);
int32_t buttonCodeForXButton(int button);
