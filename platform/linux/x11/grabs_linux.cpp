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
// - A hotkey is grabbed with exactly its modifiers, once for every state of
//   the lock keys. The server matches a grab against its own modifier state,
//   in which synthetic modifiers count too; the core counts a person's only.
#include "platform/linux/x11/grabs_linux.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <utility>

namespace {

constexpr unsigned kButtonMask = ButtonPressMask | ButtonReleaseMask;

// The X mask of a set of modifiers; false when the keyboard map has no mask
// for one of them, so that no person can press that combination.
bool xMaskOf(int32_t modifiers, const ModifierMasks& masks, unsigned& mask) {
    const std::pair<int32_t, unsigned> parts[] = {{modifier_bit::Ctrl, masks.ctrl},
                                                  {modifier_bit::Alt, masks.alt},
                                                  {modifier_bit::Shift, masks.shift},
                                                  {modifier_bit::Super, masks.super}};
    mask = 0;
    for (auto [modifier, xMask] : parts) {
        if (!(modifiers & modifier)) continue;
        if (xMask == 0) return false;
        mask |= xMask;
    }
    return true;
}

int32_t modifiersOfXState(unsigned state, const ModifierMasks& masks) {
    int32_t modifiers = 0;
    if (masks.ctrl && (state & masks.ctrl)) modifiers |= modifier_bit::Ctrl;
    if (masks.alt && (state & masks.alt)) modifiers |= modifier_bit::Alt;
    if (masks.shift && (state & masks.shift)) modifiers |= modifier_bit::Shift;
    if (masks.super && (state & masks.super)) modifiers |= modifier_bit::Super;
    return modifiers;
}

// Calls grab with each X modifier state the combinations stand for: a
// combination with each of the lock keys' states, so that Caps Lock or Num
// Lock being on does not let the hotkey through to the focused window.
template <typename Grab>
void forEachState(GrabbedCombinations combinations, const ModifierMasks& masks, Grab grab) {
    if (combinations & kEveryCombination) {
        grab(unsigned(AnyModifier));
        return;
    }
    for (int32_t modifiers = 0; modifiers <= kAllModifiers; ++modifiers) {
        unsigned mask = 0;
        if (!(combinations >> modifiers & 1) || !xMaskOf(modifiers, masks, mask)) continue;
        for (int i = 0; i < masks.lockCombinationCount; ++i) grab(mask | masks.lockCombinations[i]);
    }
}

void applyKeyGrabs(GrabState& g, const GrabWish& wish) {
    const bool masksChanged = !(wish.masks == g.held.masks);
    for (int keycode = 8; keycode < 256; ++keycode) {
        const GrabbedCombinations want = wish.keys[size_t(keycode)], held = g.held.keys[size_t(keycode)];
        if (want == held && (!masksChanged || want == 0)) continue;
        if (held) XUngrabKey(g.display, keycode, AnyModifier, g.root);
        forEachState(want, wish.masks, [&](unsigned state) {
            XGrabKey(g.display, keycode, state, g.root, False, GrabModeAsync, GrabModeAsync);
        });
    }
    g.held.keys = wish.keys;
}

void applyButtonGrabs(GrabState& g, const GrabWish& wish) {
    const bool masksChanged = !(wish.masks == g.held.masks);
    for (unsigned button = 1; button < 16; ++button) {
        const GrabbedCombinations want = wish.buttons[button], held = g.held.buttons[button];
        if (want == held && (!masksChanged || want == 0)) continue;
        if (held) XUngrabButton(g.display, button, AnyModifier, g.root);
        forEachState(want, wish.masks, [&](unsigned state) {
            XGrabButton(g.display, button, state, g.root, False, kButtonMask, GrabModeAsync, GrabModeAsync, None,
                        None);
        });
    }
    g.held.buttons = wish.buttons;
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
bool releaseGoesToTheWindow(int32_t code, int32_t modifiers) {
    const SwallowPlan plan = swallowPlanFromState();
    return !planTakesButton(plan, code, modifiers) || plan.pickOnlyButtons.test(size_t(code));
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

ModifierMasks modifierMasksOf(Display* display) {
    ModifierMasks masks;
    masks.alt = XkbKeysymToModifiers(display, XK_Alt_L);
    if (masks.alt == 0) masks.alt = XkbKeysymToModifiers(display, XK_Meta_L);
    masks.super = XkbKeysymToModifiers(display, XK_Super_L);
    // Scroll Lock is on no mask in most keyboard maps; a lock on none adds no state.
    unsigned locks[3] = {LockMask, XkbKeysymToModifiers(display, XK_Num_Lock),
                         XkbKeysymToModifiers(display, XK_Scroll_Lock)};
    unsigned distinct[3] = {};
    int count = 0;
    for (unsigned lock : locks) {
        bool seen = lock == 0;
        for (int i = 0; i < count; ++i) seen = seen || distinct[i] == lock;
        if (!seen) distinct[count++] = lock;
    }
    masks.lockCombinationCount = 1 << count;
    for (int combination = 0; combination < masks.lockCombinationCount; ++combination) {
        unsigned state = 0;
        for (int i = 0; i < count; ++i)
            if (combination >> i & 1) state |= distinct[i];
        masks.lockCombinations[combination] = state;
    }
    return masks;
}

GrabWish grabWishFor(const SwallowPlan& plan, const int32_t (&vkOfKeycode)[256], const ModifierMasks& masks) {
    GrabWish wish;
    wish.masks = masks;
    for (int keycode = 8; keycode < 256; ++keycode) {
        const int32_t vk = vkOfKeycode[keycode];
        if (vk <= 0 || vk >= 256 || isButtonCode(vk)) continue;
        GrabbedCombinations& combinations = wish.keys[size_t(keycode)];
        if (plan.keys.test(size_t(vk))) combinations = kEveryCombination;
        for (size_t i = 0; i < plan.hotkeyCount; ++i)
            if (plan.hotkeys[i].code == vk) combinations |= 1u << plan.hotkeys[i].modifiers;
    }
    for (int32_t code : kButtonCodes) {
        GrabbedCombinations& combinations = wish.buttons[size_t(xButtonForCode(code))];
        if (plan.buttons.test(size_t(code))) combinations = kEveryCombination;
        for (size_t i = 0; i < plan.hotkeyCount; ++i)
            if (plan.hotkeys[i].code == code) combinations |= 1u << plan.hotkeys[i].modifiers;
    }
    wish.keyboard = plan.everyKey;
    return wish;
}

void applyGrabWish(GrabState& g, const GrabWish& wish) {
    const bool changed = wish.keys != g.held.keys || wish.buttons != g.held.buttons ||
                         wish.keyboard != g.keyboardHeld || !(wish.masks == g.held.masks);
    if (!changed) return;
    applyKeyGrabs(g, wish);
    applyButtonGrabs(g, wish);
    applyKeyboardGrab(g, wish.keyboard);
    g.held.keyboard = wish.keyboard;
    g.held.masks = wish.masks;
    XFlush(g.display);
}

void drainGrabEvents(GrabState& g) {
    while (XPending(g.display)) {
        XEvent event;
        XNextEvent(g.display, &event);
        const bool pressed = event.type == ButtonPress;
        if (pressed && releaseGoesToTheWindow(buttonCodeForXButton(int(event.xbutton.button)),
                                              modifiersOfXState(event.xbutton.state, g.held.masks))) {
            XUngrabPointer(g.display, CurrentTime);
            XFlush(g.display);
        } else if (event.type == KeyPress && g.keyboardHeld) {
            g.keysDown.set(event.xkey.keycode & 0xFF);
        } else if (event.type == KeyRelease) {
            g.keysDown.reset(event.xkey.keycode & 0xFF);
        }
    }
}
