// Where X11 cannot do what a hook does, and what we do instead:
// - A hook decides per event; a grab is decided before the event. The grabs
//   follow the state whenever a change of it is announced (captureThreadWake),
//   so a grab lags a change of bindings by one wake of the capture thread.
// - A grabbed hotkey takes its auto-repeats along (a hook passes them on): a
//   user holding F8 does not want F8s typed into the focused window.
// - While a new binding is awaited, the keyboard is grabbed until every key
//   pressed meanwhile is up again, so the release of the captured key does
//   not reach the focused window either.
// - A pick grabs buttons 1 to 3 passively and lets the grab go as soon as
//   the press has arrived, so the release reaches the window as on Windows.
//   It grabs Escape too, which cancels it: the hook would swallow that press.
#include "platform/linux/grabs_linux.h"

namespace {

constexpr unsigned kButtonMask = ButtonPressMask | ButtonReleaseMask;

void applyKeyGrabs(GrabState& g, const std::bitset<256>& keys) {
    for (int keycode = 8; keycode < 256; ++keycode) {
        const bool want = keys.test(size_t(keycode));
        if (want == g.held.keys.test(size_t(keycode))) continue;
        if (want) {
            XGrabKey(g.display, keycode, AnyModifier, g.root, False, GrabModeAsync, GrabModeAsync);
        } else {
            XUngrabKey(g.display, keycode, AnyModifier, g.root);
        }
    }
    g.held.keys = keys;
}

void applyButtonGrabs(GrabState& g, const std::bitset<16>& buttons) {
    for (unsigned button = 1; button < 16; ++button) {
        const bool want = buttons.test(button);
        if (want == g.held.buttons.test(button)) continue;
        if (want) {
            XGrabButton(g.display, button, AnyModifier, g.root, False, kButtonMask, GrabModeAsync,
                        GrabModeAsync, None, None);
        } else {
            XUngrabButton(g.display, button, AnyModifier, g.root);
        }
    }
    g.held.buttons = buttons;
}

// Whether the server has any key down now. The grab's own key events can
// arrive after the raw event that ended a reassignment: the server's key
// map, asked after it, is what tells whether the captured key is up yet.
bool anyKeyDown(Display* display) {
    char keys[32] = {};
    XQueryKeymap(display, keys);
    for (char byte : keys)
        if (byte) return true;
    return false;
}

void applyKeyboardGrab(GrabState& g, bool want) {
    if (want && !g.keyboardHeld) {
        // Another client's grab (an open menu) makes this fail; the capture
        // thread tries again a moment later.
        g.keyboardHeld = XGrabKeyboard(g.display, g.root, False, GrabModeAsync, GrabModeAsync,
                                       CurrentTime) == GrabSuccess;
        g.keysDown.reset();
    } else if (!want && g.keyboardHeld && g.keysDown.none() && !anyKeyDown(g.display)) {
        XUngrabKeyboard(g.display, CurrentTime);
        g.keyboardHeld = false;
    }
}

// A press grabbed for a pick only is ours, its release belongs to the window
// under the pointer. The plan is asked afresh: the pick has usually ended by
// the time the grab's press arrives.
bool releaseGoesToTheWindow(int32_t code) {
    const SwallowPlan plan = swallowPlanFromState();
    return !plan.buttons.test(size_t(code)) || plan.pickOnlyButtons.test(size_t(code));
}

}  // namespace

int xButtonForCode(int32_t code) {
    switch (code) {
    case button_code::Left: return 1;
    case button_code::Right: return 3;
    case button_code::Middle: return 2;
    case button_code::Side1: return 8;
    case button_code::Side2: return 9;
    default: return 0;
    }
}

// X buttons 4 and 5 are one wheel notch each; 6 and 7 (horizontal) are left out.
int32_t buttonCodeForXButton(int button) {
    switch (button) {
    case 1: return button_code::Left;
    case 2: return button_code::Middle;
    case 3: return button_code::Right;
    case 8: return button_code::Side1;
    case 9: return button_code::Side2;
    default: return 0;
    }
}

GrabWish grabWishFor(const SwallowPlan& plan, const int32_t (&vkOfKeycode)[256]) {
    GrabWish wish;
    for (int keycode = 8; keycode < 256; ++keycode) {
        const int32_t vk = vkOfKeycode[keycode];
        if (vk > 0 && vk < 256 && plan.keys.test(size_t(vk))) wish.keys.set(size_t(keycode));
    }
    for (int32_t code : kButtonCodes)
        if (plan.buttons.test(size_t(code))) wish.buttons.set(size_t(xButtonForCode(code)));
    wish.keyboard = plan.everyKey;
    return wish;
}

void applyGrabWish(GrabState& g, const GrabWish& wish) {
    const bool changed = wish.keys != g.held.keys || wish.buttons != g.held.buttons ||
                         wish.keyboard != g.keyboardHeld;
    if (!changed) return;
    applyKeyGrabs(g, wish.keys);
    applyButtonGrabs(g, wish.buttons);
    applyKeyboardGrab(g, wish.keyboard);
    g.held.keyboard = wish.keyboard;
    XFlush(g.display);
}

void drainGrabEvents(GrabState& g) {
    while (XPending(g.display)) {
        XEvent event;
        XNextEvent(g.display, &event);
        const bool pressed = event.type == ButtonPress;
        if (pressed && releaseGoesToTheWindow(buttonCodeForXButton(int(event.xbutton.button)))) {
            XUngrabPointer(g.display, CurrentTime);
            XFlush(g.display);
        } else if (event.type == KeyPress && g.keyboardHeld) {
            g.keysDown.set(event.xkey.keycode & 0xFF);
        } else if (event.type == KeyRelease) {
            g.keysDown.reset(event.xkey.keycode & 0xFF);
        }
    }
}
