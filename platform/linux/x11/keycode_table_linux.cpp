#include "platform/linux/x11/keycode_table_linux.h"

#include <X11/XKBlib.h>

#include "model/mouse_buttons.h"
#include "platform/linux/keys/key_places_linux.h"

namespace {

// What the key types at its first level in the group, with the key's own
// rule for a group it lacks (most wrap around).
KeySym firstLevelKeysym(XkbDescPtr keyboard, int keycode, int group) {
    const int groups = XkbKeyNumGroups(keyboard, keycode);
    if (groups == 0) return NoSymbol;
    if (group >= groups) group = XkbOutOfRangeGroupInfo(XkbKeyGroupInfo(keyboard, keycode)) == XkbClampIntoRange
                                      ? groups - 1
                                      : group % groups;
    return XkbKeySymEntry(keyboard, keycode, 0, group);
}

}  // namespace

void buildKeycodeTable(Display* display, KeycodeTable& table) {
    for (unsigned long& keysym : table.typedBy) keysym = NoSymbol;
    XkbDescPtr keyboard = XkbGetMap(display, XkbKeySymsMask, XkbUseCoreKbd);
    XkbStateRec state{};
    if (keyboard && XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        table.group = state.group;
        for (int keycode = keyboard->min_key_code; keycode <= keyboard->max_key_code && keycode < 256; ++keycode)
            table.typedBy[keycode] = firstLevelKeysym(keyboard, keycode, state.group);
    }
    if (keyboard) XkbFreeKeyboard(keyboard, 0, True);
    key_places::codesOfKeycodes(table.typedBy, table.codeOf);
}

int32_t capturedCodeOfKeycode(const KeycodeTable& table, int keycode) {
    const int32_t code = keycode >= 0 && keycode < 256 ? table.codeOf[keycode] : 0;
    return code != 0 ? code : kKeyWithoutCode;
}

int watchKeyboardChanges(Display* display) {
    int opcode = 0, eventBase = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &error, &major, &minor)) return -1;
    XkbSelectEvents(display, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
                    XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask, XkbGroupStateMask);
    return eventBase;
}
