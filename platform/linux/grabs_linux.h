// The swallows of the input hooks, made in advance on X11: a connection of its
// own holds grabs that carry out the core's swallow plan, so the key or button
// that a hook would swallow is routed to us instead of the focused window.
#pragma once

#include <X11/Xlib.h>

#include <bitset>
#include <cstdint>

#include "capture/swallow_plan.h"

struct GrabWish {
    std::bitset<256> keys;   // keycodes grabbed passively
    std::bitset<16> buttons; // X buttons grabbed passively
    bool keyboard = false;   // the whole keyboard
};

struct GrabState {
    Display* display = nullptr;
    Window root = 0;
    GrabWish held;
    bool keyboardHeld = false;
    std::bitset<256> keysDown;  // keys pressed while we held the keyboard
};

// The grabs that carry out the plan. vkOfKeycode maps keycodes to virtual keys.
GrabWish grabWishFor(const SwallowPlan& plan, const int32_t (&vkOfKeycode)[256]);

// Takes and gives back grabs until they match the wish.
void applyGrabWish(GrabState& grabs, const GrabWish& wish);

// Handles the events that the grabs route to us.
void drainGrabEvents(GrabState& grabs);

// The X button of a button code, 0 if none; and the button code of an X
// button, 0 for the wheel's buttons and any other.
int xButtonForCode(int32_t code);
int32_t buttonCodeForXButton(int button);
