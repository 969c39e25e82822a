// Input capture on X11. One connection observes every key, button and motion
// of the desktop through XInput 2.2 raw events (they still arrive while
// another client holds a grab); a second connection holds the grabs that
// stand in for the hooks' swallows (grabs_linux.cpp). Each raw event becomes
// one InputEvent for the portable hook logic. The capture thread
// (capture_thread_linux.cpp) owns both connections and waits on them.
//
// Synthetic input is what arrives from the core XTest slaves: everything any
// client sends with XTest (our engines, xdotool) comes from them.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cmath>
#include <cstring>

#include "capture/hook_logic.h"
#include "capture/input_event.h"
#include "capture/swallow_plan.h"
#include "model/state.h"
#include "platform/linux/x11/raw_capture_linux.h"
#include "platform/linux/x11/grabs_linux.h"
#include "platform/linux/x11/keycode_table_linux.h"
#include "platform/linux/x11/scroll_linux.h"
#include "platform/platform.h"

namespace {

constexpr int kMaxDevices = 1024;

struct Observer {
    Display* display = nullptr;
    Window root = 0;
    int xiOpcode = 0;
    int xkbEventBase = -1;
    bool synthetic[kMaxDevices] = {};  // the core XTest slaves
    bool relative[kMaxDevices] = {};   // devices whose motion is relative
    ScrollAxis scroll[kMaxDevices];    // each device's vertical scroll valuator
    KeycodeTable keys;
    ModifierMasks modifierMasks;
    double pendingDx = 0.0, pendingDy = 0.0;  // sub-pixel raw motion not yet reported
};

Observer observer;
GrabState grabs;
bool retryKeyboardGrab = false;

int ignoreXError(Display*, XErrorEvent*) { return 0; }

bool isDevice(int id) { return id >= 0 && id < kMaxDevices; }

void loadDevices(Observer& o) {
    std::memset(o.synthetic, 0, sizeof o.synthetic);
    std::memset(o.relative, 0, sizeof o.relative);
    for (ScrollAxis& axis : o.scroll) axis = ScrollAxis{};
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(o.display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        const XIDeviceInfo& d = devices[i];
        if (!isDevice(d.deviceid)) continue;
        o.scroll[d.deviceid] = scrollAxisOf(d);
        o.synthetic[d.deviceid] = std::strcmp(d.name, "Virtual core XTEST pointer") == 0 ||
                                  std::strcmp(d.name, "Virtual core XTEST keyboard") == 0;
        for (int c = 0; c < d.num_classes; ++c) {
            if (d.classes[c]->type != XIValuatorClass) continue;
            auto* valuator = reinterpret_cast<XIValuatorClassInfo*>(d.classes[c]);
            if (valuator->number == 0) o.relative[d.deviceid] = valuator->mode == XIModeRelative;
        }
    }
    if (devices) XIFreeDeviceInfo(devices);
}

void loadKeymap(Observer& o) {
    buildKeycodeTable(o.display, o.keys);
    o.modifierMasks = modifierMasksOf(o.display);
}

// With XKB in Xlib a keymap change or a group switch reaches a client only
// if it asks for XKB's own notices; without them the table would keep the
// old layout for good.
void watchKeymapChanges(Observer& o) { o.xkbEventBase = watchKeyboardChanges(o.display); }

bool selectRawEvents(Observer& o) {
    int event = 0, error = 0;
    if (!XQueryExtension(o.display, "XInputExtension", &o.xiOpcode, &event, &error)) return false;
    // 2.2: an observer that announces only 2.0 loses raw releases during grabs.
    int major = 2, minor = 2;
    if (XIQueryVersion(o.display, &major, &minor) != Success) return false;

    unsigned char rawBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(rawBits, XI_RawKeyPress);
    XISetMask(rawBits, XI_RawKeyRelease);
    XISetMask(rawBits, XI_RawButtonPress);
    XISetMask(rawBits, XI_RawButtonRelease);
    XISetMask(rawBits, XI_RawMotion);
    unsigned char hierarchyBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyBits, XI_HierarchyChanged);
    XIEventMask masks[2] = {{XIAllMasterDevices, sizeof rawBits, rawBits},
                            {XIAllDevices, sizeof hierarchyBits, hierarchyBits}};
    XISelectEvents(o.display, o.root, masks, 2);
    XSync(o.display, False);
    return true;
}

bool pointerPosition(Observer& o, int deviceid, int32_t& x, int32_t& y) {
    Window root, child;
    double rootX, rootY, winX, winY;
    XIButtonState buttons{};
    XIModifierState mods{};
    XIGroupState group{};
    const bool ok = XIQueryPointer(o.display, deviceid, o.root, &root, &child, &rootX, &rootY, &winX,
                                   &winY, &buttons, &mods, &group);
    if (buttons.mask) XFree(buttons.mask);
    if (!ok) return false;
    x = int32_t(std::floor(rootX));
    y = int32_t(std::floor(rootY));
    return true;
}

InputEvent baseEvent(const Observer& o, const XIRawEvent& raw, InputEvent::Kind kind) {
    InputEvent e;
    e.kind = kind;
    e.injected = isDevice(raw.sourceid) && o.synthetic[raw.sourceid];
    e.counter = platform::perfCounter();
    return e;
}

void onRawKey(Observer& o, const XIRawEvent& raw, bool down) {
    InputEvent e = baseEvent(o, raw, InputEvent::Key);
    e.code = capturedCodeOfKeycode(o.keys, raw.detail);
    e.down = down;
    handleKeyboardInput(e);
}

void reportWheel(const Observer& o, const XIRawEvent& raw, int32_t delta) {
    if (delta == 0) return;
    InputEvent e = baseEvent(o, raw, InputEvent::Wheel);
    e.delta = delta;
    handleMouseInput(e);
}

void onRawButton(Observer& o, const XIRawEvent& raw, bool down) {
    if (raw.detail == 4 || raw.detail == 5) {
        reportWheel(o, raw, wheelDeltaOfRawButton(raw, down));
        return;
    }
    const int32_t code = buttonCodeForXButton(raw.detail);
    if (code == 0) return;
    InputEvent e = baseEvent(o, raw, InputEvent::Button);
    e.code = code;
    e.down = down;
    if (!pointerPosition(o, raw.deviceid, e.x, e.y)) {
        const uint64_t last = appState().lastMousePoint;
        e.x = pointX(last);
        e.y = pointY(last);
    }
    handleMouseInput(e);
}

// Valuators 0 and 1 in mask order; a wheel alone moves neither.
bool rawMotionValues(const XIRawEvent& raw, double& dx, double& dy) {
    bool moved = false;
    const double* value = raw.raw_values;
    for (int axis = 0; axis < raw.valuators.mask_len * 8; ++axis) {
        if (!XIMaskIsSet(raw.valuators.mask, axis)) continue;
        if (axis == 0) dx = *value, moved = true;
        if (axis == 1) dy = *value, moved = true;
        ++value;
        if (axis >= 1) break;
    }
    return moved;
}

bool rawMotionIsQueued(Observer& o) {
    if (XEventsQueued(o.display, QueuedAlready) == 0) return false;
    XEvent next;
    XPeekEvent(o.display, &next);
    return next.xcookie.type == GenericEvent && next.xcookie.extension == o.xiOpcode &&
           next.xcookie.evtype == XI_RawMotion;
}

void onRawMotion(Observer& o, const XIRawEvent& raw) {
    if (isDevice(raw.sourceid)) reportWheel(o, raw, wheelDeltaOfRawMotion(o.scroll[raw.sourceid], raw));
    double dx = 0.0, dy = 0.0;
    if (!rawMotionValues(raw, dx, dy)) return;
    InputEvent motion = baseEvent(o, raw, InputEvent::RawMotion);
    motion.absolute = !(isDevice(raw.sourceid) && o.relative[raw.sourceid]);
    if (!motion.absolute) {
        o.pendingDx += dx;
        o.pendingDy += dy;
        motion.x = int32_t(std::trunc(o.pendingDx));
        motion.y = int32_t(std::trunc(o.pendingDy));
        o.pendingDx -= motion.x;
        o.pendingDy -= motion.y;
    }
    handleRawMotion(motion);
    // The position is asked of the server, so it is where the pointer is now,
    // not where this event left it: when another motion waits behind this one
    // the answer would be the same, and one round trip serves both.
    if (rawMotionIsQueued(o)) return;
    InputEvent move = baseEvent(o, raw, InputEvent::PointerMove);
    if (pointerPosition(o, raw.deviceid, move.x, move.y)) handleMouseInput(move);
}

void onXInputEvent(Observer& o, XGenericEventCookie& cookie) {
    if (cookie.evtype == XI_HierarchyChanged) {
        loadDevices(o);
        return;
    }
    const XIRawEvent& raw = *static_cast<XIRawEvent*>(cookie.data);
    switch (cookie.evtype) {
    case XI_RawKeyPress: onRawKey(o, raw, true); break;
    case XI_RawKeyRelease: onRawKey(o, raw, false); break;
    case XI_RawButtonPress: onRawButton(o, raw, true); break;
    case XI_RawButtonRelease: onRawButton(o, raw, false); break;
    case XI_RawMotion: onRawMotion(o, raw); break;
    default: break;
    }
}

void drainObserver(Observer& o) {
    while (XPending(o.display)) {
        XEvent event;
        XNextEvent(o.display, &event);
        if (event.type == MappingNotify || event.type == o.xkbEventBase) {
            if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
            loadKeymap(o);
            continue;
        }
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != o.xiOpcode) continue;
        if (!XGetEventData(o.display, &cookie)) continue;
        onXInputEvent(o, cookie);
        XFreeEventData(o.display, &cookie);
    }
}

bool openObserver(Observer& o) {
    o.display = XOpenDisplay(nullptr);
    if (!o.display) return false;
    o.root = DefaultRootWindow(o.display);
    if (!selectRawEvents(o)) return false;
    watchKeymapChanges(o);
    loadDevices(o);
    loadKeymap(o);
    return true;
}

}  // namespace

namespace platform::x11_capture {

bool open() {
    // Grabs another client holds already fail with BadAccess; we go without them.
    XSetErrorHandler(ignoreXError);
    if (!openObserver(observer) || !(grabs.display = XOpenDisplay(nullptr))) {
        close();
        return false;
    }
    grabs.root = DefaultRootWindow(grabs.display);
    return true;
}

void close() {
    if (grabs.display) XCloseDisplay(grabs.display);  // gives every grab back
    if (observer.display) XCloseDisplay(observer.display);
    grabs = GrabState{};
    observer.display = nullptr;
}

int observerFd() { return ConnectionNumber(observer.display); }
int grabsFd() { return ConnectionNumber(grabs.display); }

void followState() {
    const GrabWish wish = grabWishFor(swallowPlanFromState(), observer.keys.codeOf, observer.modifierMasks);
    applyGrabWish(grabs, wish);
    retryKeyboardGrab = wish.keyboard && !grabs.keyboardHeld;
}

// Replies read while the grabs were changed may have queued events already,
// which poll cannot see.
bool eventsQueued() {
    return XEventsQueued(observer.display, QueuedAlready) > 0 || XEventsQueued(grabs.display, QueuedAlready) > 0;
}

bool keyboardGrabRefused() { return retryKeyboardGrab; }

void handleEvents() {
    drainObserver(observer);
    drainGrabEvents(grabs);
}

}  // namespace platform::x11_capture
