// Synthetic input on X11 through XTest, on a Display connection of its own
// (Xlib is thread-aware, so every engine thread may send on it). Each record
// becomes XTestFake* calls and one flush: no round trip on the way. On a
// wlroots Wayland session the same records go to the compositor's virtual
// devices instead (wayland_output_linux.cpp), which reach every window.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "model/mouse_flags.h"
#include "platform/linux/input_linux.h"
#include "platform/linux/keymap_linux.h"
#include "platform/linux/wayland_output_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

const int kMaxButton = 32;
const int kKeycodes = 256;
const int kSpareSlots = 8;
const int32_t kWheelNotch = 120;

struct SpareKey {
    KeyCode keycode = 0;
    KeySym boundTo = NoSymbol;
};

// Physical button number to send for each logical button, from the pointer
// map: with a left-handed map the left button is still the left button.
std::atomic<uint8_t> physicalButton[kMaxButton + 1];
// The keysym at the first level of each keycode: what that keycode types
// without any modifier or lock.
std::atomic<KeySym> firstLevelKeysym[kKeycodes];
// Keycodes with no keysym at all, lent to keys the layout lacks.
SpareKey spareKeys[kSpareSlots];
int nextSpare = 0;
std::atomic<bool> anyLent{false};
std::atomic<int32_t> wheelRest{0}, horizontalWheelRest{0};

void loadPointerMap(Display* display) {
    unsigned char map[256];
    int count = XGetPointerMapping(display, map, 256);
    uint8_t physicalFor[kMaxButton + 1] = {};
    // Count down so the lowest physical button wins when two share a meaning.
    for (int physical = std::min(count, 255); physical >= 1; --physical) {
        int logical = map[physical - 1];
        if (logical >= 1 && logical <= kMaxButton) physicalFor[logical] = uint8_t(physical);
    }
    // Whole entries only: a sender in another thread never sees a gap.
    for (int logical = 1; logical <= kMaxButton; ++logical) physicalButton[logical] = physicalFor[logical];
}

void loadKeymap(Display* display, bool chooseSpares) {
    int first = 0, last = 0, perKeycode = 0;
    XDisplayKeycodes(display, &first, &last);
    KeySym* map = XGetKeyboardMapping(display, KeyCode(first), last - first + 1, &perKeycode);
    if (!map) return;
    int spares = 0;
    for (int keycode = last; keycode >= first; --keycode) {
        const KeySym* syms = map + (keycode - first) * perKeycode;
        firstLevelKeysym[keycode] = syms[0];
        bool empty = true;
        for (int level = 0; level < perKeycode; ++level) empty = empty && syms[level] == NoSymbol;
        if (chooseSpares && empty && spares < kSpareSlots) spareKeys[spares++].keycode = KeyCode(keycode);
    }
    XFree(map);
}

Display* openSender() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    loadPointerMap(display);
    loadKeymap(display, true);
    return display;
}

Display* sender() {
    static Display* display = openSender();
    return display;
}

// Picks up changes of the keyboard layout or the pointer map (ours included)
// that the server announced. Looking costs a system call, so a sender at a
// thousand records a second looks only every 50 ms.
void followMappingChanges(Display* display) {
    static std::atomic<int64_t> nextLook{0};
    int64_t now = perfCounter();
    if (now < nextLook.load(std::memory_order_relaxed)) return;
    nextLook.store(now + 50000000, std::memory_order_relaxed);
    // Held across the check and the take: another sender taking the event in
    // between would leave this one blocked in XNextEvent.
    XLockDisplay(display);
    while (XEventsQueued(display, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MappingNotify) continue;
        if (event.xmapping.request == MappingPointer) {
            loadPointerMap(display);
        } else {
            XRefreshKeyboardMapping(&event.xmapping);
            loadKeymap(display, false);
        }
    }
    XUnlockDisplay(display);
}

KeyCode keycodeAtFirstLevel(KeySym keysym) {
    for (int keycode = 8; keycode < kKeycodes; ++keycode) {
        if (firstLevelKeysym[keycode] == keysym) return KeyCode(keycode);
    }
    return 0;
}

// A key the layout lacks, or has only at a level that needs a modifier or a
// lock (the numeric-pad digits without NumLock), gets a spare keycode of its
// own. The binding stays until the slot is needed again (or the program
// ends), so a receiver that looks the keysym up late still finds it.
KeyCode lendSpareKeycode(Display* display, KeySym keysym) {
    for (const SpareKey& spare : spareKeys) {
        if (spare.keycode && spare.boundTo == keysym) return spare.keycode;
    }
    SpareKey& slot = spareKeys[nextSpare++ % kSpareSlots];
    if (!slot.keycode) return 0;
    KeySym symbol = keysym;
    XChangeKeyboardMapping(display, slot.keycode, 1, &symbol, 1);
    XSync(display, False);
    slot.boundTo = keysym;
    firstLevelKeysym[slot.keycode] = keysym;
    anyLent = true;
    return slot.keycode;
}

void sendButton(Display* display, int logical, bool down) {
    if (logical < 1 || logical > kMaxButton) return;
    unsigned physical = physicalButton[logical];
    if (physical) XTestFakeButtonEvent(display, physical, down ? True : False, CurrentTime);
}

void sendClicks(Display* display, int logical, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        sendButton(display, logical, true);
        sendButton(display, logical, false);
    }
}

// One notch is 120; finer deltas add up until they make a notch, so the
// total turn is never lost. Returns the whole notches to turn now.
int64_t wheelNotches(std::atomic<int32_t>& rest, int32_t delta) {
    // 64-bit: a rest near a notch plus a delta near the 32-bit limit must not wrap.
    const int64_t total = int64_t(rest.exchange(0)) + delta;
    rest.fetch_add(int32_t(total % kWheelNotch));
    return total / kWheelNotch;
}

void sendWheel(Display* display, std::atomic<int32_t>& rest, int32_t delta, int away, int toward) {
    const int64_t notches = wheelNotches(rest, delta);
    if (notches > 0) sendClicks(display, away, notches);
    if (notches < 0) sendClicks(display, toward, -notches);
}

void sendMove(Display* display, int32_t dx, int32_t dy, uint32_t flags) {
    if (flags & mouse_flags::AbsolutePosition) {
        // Normalised 0..65535 over the screen, as the Windows record carries it.
        int screen = DefaultScreen(display);
        int64_t x = int64_t(dx) * DisplayWidth(display, screen) / 65536;
        int64_t y = int64_t(dy) * DisplayHeight(display, screen) / 65536;
        XTestFakeMotionEvent(display, -1, int(x), int(y), CurrentTime);
    } else {
        XTestFakeRelativeMotionEvent(display, dx, dy, CurrentTime);
    }
}

int sideButton(uint32_t mouseData) { return mouseData == 2 ? 9 : 8; }

// Linux input event codes of the buttons, as Wayland names them.
const uint32_t kButtonLeft = 0x110, kButtonRight = 0x111, kButtonMiddle = 0x112;
uint32_t sideButtonCode(uint32_t mouseData) { return mouseData == 2 ? 0x114 : 0x113; }

void sendMouseInputToCompositor(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    namespace mf = mouse_flags;
    namespace wo = wayland_output;
    if (flags & mf::Move) {
        if (flags & mf::AbsolutePosition) wo::moveNormalised(dx, dy);
        else wo::moveRelative(dx, dy);
    }
    if (flags & mf::LeftDown) wo::button(kButtonLeft, true);
    if (flags & mf::LeftUp) wo::button(kButtonLeft, false);
    if (flags & mf::RightDown) wo::button(kButtonRight, true);
    if (flags & mf::RightUp) wo::button(kButtonRight, false);
    if (flags & mf::MiddleDown) wo::button(kButtonMiddle, true);
    if (flags & mf::MiddleUp) wo::button(kButtonMiddle, false);
    if (flags & mf::XDown) wo::button(sideButtonCode(mouseData), true);
    if (flags & mf::XUp) wo::button(sideButtonCode(mouseData), false);
    if (flags & mf::Wheel) wo::wheel(false, int32_t(wheelNotches(wheelRest, int32_t(mouseData))));
    if (flags & mf::HWheel) wo::wheel(true, int32_t(wheelNotches(horizontalWheelRest, int32_t(mouseData))));
    wo::endPointerFrame();
}

}  // namespace

void moveCursorAbsolute(int32_t x, int32_t y) {
    if (wayland_output::active()) {
        wayland_output::moveAbsolute(x, y);
        wayland_output::endPointerFrame();
        return;
    }
    Display* display = sender();
    if (!display) return;
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
}

uint32_t sendKeyEvent(uint32_t vk, bool down) {
    keymap::Keysym keysym = keymap::keysymForVirtualKey(vk);
    if (wayland_output::active()) return keysym != NoSymbol && wayland_output::key(uint32_t(keysym), down);
    Display* display = sender();
    if (!display || keysym == NoSymbol) return 0;
    followMappingChanges(display);
    KeyCode keycode = keycodeAtFirstLevel(keysym);
    if (!keycode) {
        // The display's own lock keeps two senders from lending one slot twice.
        XLockDisplay(display);
        keycode = lendSpareKeycode(display, keysym);
        XUnlockDisplay(display);
    }
    if (!keycode) return 0;
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
    XFlush(display);
    return 1;
}

// Scan codes are a Windows keyboard's; here the virtual key names the key.
uint32_t sendKeyWithScan(uint32_t vk, uint32_t, bool down) { return sendKeyEvent(vk, down); }

// The X server's own record sees every release the watch sees, and none it
// misses; the watch's tracking stands.
KeyState keyStateNow(int32_t) { return KeyState::Unknown; }

uint32_t sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    namespace mf = mouse_flags;
    if (wayland_output::active()) {
        sendMouseInputToCompositor(dx, dy, mouseData, flags);
        return 1;
    }
    Display* display = sender();
    if (!display) return 0;
    followMappingChanges(display);
    if (flags & mf::Move) sendMove(display, dx, dy, flags);
    if (flags & mf::LeftDown) sendButton(display, 1, true);
    if (flags & mf::LeftUp) sendButton(display, 1, false);
    if (flags & mf::RightDown) sendButton(display, 3, true);
    if (flags & mf::RightUp) sendButton(display, 3, false);
    if (flags & mf::MiddleDown) sendButton(display, 2, true);
    if (flags & mf::MiddleUp) sendButton(display, 2, false);
    if (flags & mf::XDown) sendButton(display, sideButton(mouseData), true);
    if (flags & mf::XUp) sendButton(display, sideButton(mouseData), false);
    if (flags & mf::Wheel) sendWheel(display, wheelRest, int32_t(mouseData), 4, 5);
    if (flags & mf::HWheel) sendWheel(display, horizontalWheelRest, int32_t(mouseData), 7, 6);
    XFlush(display);
    return 1;
}

std::string keyDisplayName(int32_t code) {
    if (const char* name = keymap::standardKeyName(uint32_t(code))) return name;
    keymap::Keysym keysym = code > 0 ? keymap::keysymForVirtualKey(uint32_t(code)) : NoSymbol;
    if (keysym != NoSymbol) {
        if (const char* name = XKeysymToString(keysym)) return name;
    }
    return "Key[" + std::to_string(code) + "]";
}

// While the program runs a lent keycode stays bound: taking it back after
// each use would send every client of the display a keymap change per press.
void returnLentKeycodes() {
    if (!anyLent.exchange(false)) return;
    Display* display = sender();
    KeySym none = NoSymbol;
    for (SpareKey& spare : spareKeys) {
        if (spare.boundTo == NoSymbol) continue;
        XChangeKeyboardMapping(display, spare.keycode, 1, &none, 1);
        firstLevelKeysym[spare.keycode] = NoSymbol;
        spare.boundTo = NoSymbol;
    }
    XSync(display, False);
}

bool cursorPosition(int32_t& x, int32_t& y) {
    Display* display = sender();
    if (!display) return false;
    Window root, child;
    int rootX, rootY, windowX, windowY;
    unsigned mask;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX,
                       &windowY, &mask))
        return false;
    x = rootX;
    y = rootY;
    return true;
}

}  // namespace platform
