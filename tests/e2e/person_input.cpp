#include "tests/e2e/person_input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstring>

namespace e2e {
namespace {

Display* dpy(PersonInput& input) { return static_cast<Display*>(input.display); }

int deviceIdByName(Display* display, const char* name) {
    int count = 0, id = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(devices[i].name, name) == 0) id = devices[i].deviceid;
    if (devices) XIFreeDeviceInfo(devices);
    return id;
}

void* openDevice(Display* display, const char* name) {
    const int id = deviceIdByName(display, name);
    return id ? XOpenDevice(display, XID(id)) : nullptr;
}

bool addMaster(PersonInput& input) {
    XIAnyHierarchyChangeInfo change{};
    change.add.type = XIAddMaster;
    change.add.name = const_cast<char*>("person2");
    change.add.send_core = True;
    change.add.enable = True;
    if (XIChangeHierarchy(dpy(input), &change, 1) != Success) return false;
    XSync(dpy(input), False);
    input.extraMaster = deviceIdByName(dpy(input), "person2 pointer");
    input.extraPointer = openDevice(dpy(input), "person2 XTEST pointer");
    return input.extraPointer != nullptr;
}

}  // namespace

bool openPersonInput(PersonInput& input, const std::string& display, bool extraPointer) {
    input.display = XOpenDisplay(display.c_str());
    if (!input.display) return false;
    input.keyboard = openDevice(dpy(input), "Xvfb keyboard");
    input.mouse = openDevice(dpy(input), "Xvfb mouse");
    if (!input.keyboard || !input.mouse) return false;
    return !extraPointer || addMaster(input);
}

void closePersonInput(PersonInput& input) {
    if (!input.display) return;
    for (void* device : {input.keyboard, input.mouse, input.extraPointer})
        if (device) XCloseDevice(dpy(input), static_cast<XDevice*>(device));
    if (input.extraMaster) {
        XIAnyHierarchyChangeInfo change{};
        change.remove.type = XIRemoveMaster;
        change.remove.deviceid = input.extraMaster;
        change.remove.return_mode = XIFloating;
        XIChangeHierarchy(dpy(input), &change, 1);
    }
    XCloseDisplay(dpy(input));
    input = PersonInput{};
}

void personKey(PersonInput& input, unsigned long keysym, bool down) {
    personKeycode(input, XKeysymToKeycode(dpy(input), keysym), down);
}

void personKeycode(PersonInput& input, int keycode, bool down) {
    XTestFakeDeviceKeyEvent(dpy(input), static_cast<XDevice*>(input.keyboard), unsigned(keycode), down,
                            nullptr, 0, CurrentTime);
    XFlush(dpy(input));
}

// The key and level that type a keysym in the active group; the levels of
// the Latin layouts: 1 plain, 2 Shift, 3 AltGr, 4 Shift+AltGr.
static bool keyOfKeysym(Display* display, unsigned long keysym, int& keycode, int& level) {
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    XkbDescPtr keyboard = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    bool found = false;
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code && !found; ++code) {
        if (XkbKeyNumGroups(keyboard, code) <= state.group) continue;
        for (int l = 0; l < XkbKeyGroupWidth(keyboard, code, state.group) && l < 4 && !found; ++l) {
            if (XkbKeySymEntry(keyboard, code, l, state.group) != keysym) continue;
            keycode = code, level = l + 1, found = true;
        }
    }
    XkbFreeKeyboard(keyboard, 0, True);
    return found;
}

bool personType(PersonInput& input, unsigned long keysym) {
    Display* display = dpy(input);
    int keycode = 0, level = 0;
    if (!keyOfKeysym(display, keysym, keycode, level)) return false;
    const int shift = XKeysymToKeycode(display, XK_Shift_L);
    // Right Alt, where a person's AltGr is (keycode 92 carries it too on pc105).
    const int rightAlt = 108;
    const int altGr = XkbKeycodeToKeysym(display, rightAlt, 0, 0) == XK_ISO_Level3_Shift
                          ? rightAlt
                          : XKeysymToKeycode(display, XK_ISO_Level3_Shift);
    if (level >= 3 && altGr == 0) return false;
    if (level == 2 || level == 4) personKeycode(input, shift, true);
    if (level >= 3) personKeycode(input, altGr, true);
    personKeycode(input, keycode, true);
    personKeycode(input, keycode, false);
    if (level >= 3) personKeycode(input, altGr, false);
    if (level == 2 || level == 4) personKeycode(input, shift, false);
    return true;
}

void personTap(PersonInput& input, unsigned long keysym) {
    personKey(input, keysym, true);
    personKey(input, keysym, false);
}

void personMoveTo(PersonInput& input, int x, int y) {
    int axes[2] = {x, y};
    XTestFakeDeviceMotionEvent(dpy(input), static_cast<XDevice*>(input.mouse), False, 0, axes, 2,
                               CurrentTime);
    XFlush(dpy(input));
}

void personMoveBy(PersonInput& input, int dx, int dy) {
    int axes[2] = {dx, dy};
    XTestFakeDeviceMotionEvent(dpy(input), static_cast<XDevice*>(input.mouse), True, 0, axes, 2,
                               CurrentTime);
    XFlush(dpy(input));
}

void personButton(PersonInput& input, int button, bool down) {
    XTestFakeDeviceButtonEvent(dpy(input), static_cast<XDevice*>(input.mouse), unsigned(button), down,
                               nullptr, 0, CurrentTime);
    XFlush(dpy(input));
}

void personExtraButton(PersonInput& input, int button, bool down) {
    XTestFakeDeviceButtonEvent(dpy(input), static_cast<XDevice*>(input.extraPointer),
                               unsigned(button), down, nullptr, 0, CurrentTime);
    XFlush(dpy(input));
}

}  // namespace e2e
