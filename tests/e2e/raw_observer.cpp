#include "tests/e2e/raw_observer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>

#include <cstring>
#include <ctime>

namespace e2e {
namespace {

Display* asDisplay(const RawObserver& observer) { return static_cast<Display*>(observer.display); }

// Synthetic input of every client arrives from the two core XTest slaves;
// the "XTEST Device" property alone would also match other masters' slaves.
void findXTestSlaves(RawObserver& observer) {
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(asDisplay(observer), XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(devices[i].name, "Virtual core XTEST pointer") == 0)
            observer.xtestPointer = devices[i].deviceid;
        if (std::strcmp(devices[i].name, "Virtual core XTEST keyboard") == 0)
            observer.xtestKeyboard = devices[i].deviceid;
    }
    XIFreeDeviceInfo(devices);
}

bool selectEvents(RawObserver& observer) {
    Display* display = asDisplay(observer);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XISetMask(bits, XI_ButtonPress);
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    if (XISelectEvents(display, DefaultRootWindow(display), &mask, 1) != Success) return false;
    XSync(display, False);
    return true;
}

bool readOne(RawObserver& observer, ObservedEvent& out) {
    Display* display = asDisplay(observer);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != observer.opcode) continue;
        if (!XGetEventData(display, cookie)) continue;
        out.type = cookie->evtype;
        out.at = monotonicNs();
        if (cookie->evtype == XI_ButtonPress) {
            auto* device = static_cast<XIDeviceEvent*>(cookie->data);
            out.detail = device->detail;
            out.serverTime = device->time;
            out.fromXTest = device->sourceid == observer.xtestPointer;
            out.x = int(device->root_x);
            out.y = int(device->root_y);
        } else {
            auto* raw = static_cast<XIRawEvent*>(cookie->data);
            out.detail = raw->detail;
            out.serverTime = raw->time;
            out.fromXTest = raw->sourceid == observer.xtestPointer || raw->sourceid == observer.xtestKeyboard;
        }
        XFreeEventData(display, cookie);
        return true;
    }
    return false;
}

}  // namespace

int64_t monotonicNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool openObserver(RawObserver& observer, const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display) return false;
    observer.display = display;
    int event = 0, error = 0, major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &observer.opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        closeObserver(observer);
        return false;
    }
    findXTestSlaves(observer);
    if (!selectEvents(observer)) {
        closeObserver(observer);
        return false;
    }
    return true;
}

void closeObserver(RawObserver& observer) {
    if (observer.display) XCloseDisplay(asDisplay(observer));
    observer.display = nullptr;
}

bool nextEvent(RawObserver& observer, ObservedEvent& event, int timeoutMs) {
    int64_t deadline = monotonicNs() + int64_t(timeoutMs) * 1000000;
    for (;;) {
        if (readOne(observer, event)) return true;
        int64_t left = (deadline - monotonicNs()) / 1000000;
        if (left <= 0) return false;
        pollfd fd{ConnectionNumber(asDisplay(observer)), POLLIN, 0};
        poll(&fd, 1, int(left));
    }
}

std::vector<ObservedEvent> collectUntilQuiet(RawObserver& observer, int quietMs, int totalMs) {
    std::vector<ObservedEvent> events;
    int64_t end = monotonicNs() + int64_t(totalMs) * 1000000;
    ObservedEvent event;
    while (monotonicNs() < end && nextEvent(observer, event, quietMs)) events.push_back(event);
    return events;
}

std::vector<ObservedEvent> ofType(const std::vector<ObservedEvent>& events, int type) {
    std::vector<ObservedEvent> out;
    for (const ObservedEvent& e : events) {
        if (e.type == type && e.fromXTest) out.push_back(e);
    }
    return out;
}

}  // namespace e2e
