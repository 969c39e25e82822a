// The swallows of the input hooks, made in advance on X11: a connection of its
// own holds grabs that follow the state, so the key or button that a hook
// would swallow is routed to us instead of the focused window.
#pragma once

#include <X11/Xlib.h>

#include <bitset>
#include <cstdint>

struct GrabWish {
    std::bitset<256> keys;   // keycodes of keyboard hotkeys, grabbed passively
    std::bitset<16> buttons; // X buttons grabbed passively
    bool keyboard = false;   // the whole keyboard, while a new binding is awaited
    bool picking = false;    // a pick is pending: let each grabbed press go at once
};

struct GrabState {
    Display* display = nullptr;
    Window root = 0;
    GrabWish held;
    bool keyboardHeld = false;
    std::bitset<256> keysDown;  // keys pressed while we held the keyboard
};

// What the state asks for now. vkOfKeycode maps keycodes to virtual keys.
GrabWish grabWishFromState(const int32_t (&vkOfKeycode)[256]);

// Takes and gives back grabs until they match the wish.
void applyGrabWish(GrabState& grabs, const GrabWish& wish);

// Handles the events that the grabs route to us.
void drainGrabEvents(GrabState& grabs, const int32_t (&vkOfKeycode)[256]);

// The X button of a button code (1 left, 2 right, 4 middle, 5 and 6 side), 0 if none.
int xButtonForCode(int32_t code);
