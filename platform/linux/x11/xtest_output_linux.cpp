// Synthetic input on X11 through XTest, on a Display connection of its own
// (Xlib is thread-aware, so every engine thread may send on it). Each record
// becomes XTestFake* calls and one flush: no round trip on the way.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/linux/keys/keymap_linux.h"
#include "platform/linux/x11/keycode_table_linux.h"
#include "platform/linux/x11/xtest_output_linux.h"
#include "platform/platform.h"

namespace platform::xtest_output {
namespace {

const int kMaxButton = 32;
const int kKeycodes = 256;
const int kSpareSlots = 8;

struct SpareKey {
    KeyCode keycode = 0;
    KeySym boundTo = NoSymbol;
    int64_t lentAt = 0;  // perfCounter() when last handed out
};
// A receiver reads a key's keysym when it gets to the key's event, perhaps
// after a change of the keymap sent later: a slot handed out this recently
// is not bound to another keysym until the time has passed.
const int64_t kSpareSettleDivisor = 10;  // a tenth of a second

// Physical button number to send for each logical button, from the pointer
// map: with a left-handed map the left button is still the left button.
std::atomic<uint8_t> physicalButton[kMaxButton + 1];
// The keycode of each virtual-key code on the active layout and group (by
// place, letters by what they type; see keys/key_places_linux.h), 0 for a
// key the keyboard lacks.
std::atomic<uint8_t> keycodeOfCode[256];
// The keysym at the first level of each keycode in the active group: what
// that keycode types without any modifier or lock.
std::atomic<KeySym> firstLevelKeysym[kKeycodes];
// Keycodes with no keysym at all, lent to keys the layout lacks. Changed
// only with the display locked.
SpareKey spareKeys[kSpareSlots];
int nextSpare = 0;
std::atomic<bool> anyLent{false};
// The active group of the keyboard map.
std::atomic<int> activeGroup{0};
// The XKB event type, by which the server announces a changed keyboard map
// or group; -1 without XKB.
int xkbEvent = -1;

// Which key of the active layout and group types a character, and which of
// Shift and AltGr it needs: one entry per character, sorted by character,
// rebuilt with the keymap. Read and written with the display locked.
enum LevelModifier : uint8_t { kWithShift = 1, kWithAltGr = 2 };
struct CharacterKey {
    char32_t character = 0;
    uint8_t keycode = 0;
    uint8_t modifiers = 0;  // LevelModifier bits
};
const int kMaxCharacterKeys = kKeycodes * 4;
CharacterKey characterKeys[kMaxCharacterKeys];
int characterKeyCount = 0;

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

void loadCodes(const KeycodeTable& table) {
    uint8_t keycodeOf[256] = {};
    // Upwards, so the main Enter wins over the pad's, which shares its code.
    for (int keycode = 255; keycode >= 8; --keycode)
        if (table.codeOf[keycode] > 0 && table.codeOf[keycode] < 256) keycodeOf[table.codeOf[keycode]] = uint8_t(keycode);
    for (int code = 0; code < 256; ++code) keycodeOfCode[code] = keycodeOf[code];
    for (int keycode = 0; keycode < kKeycodes; ++keycode) firstLevelKeysym[keycode] = table.typedBy[keycode];
    activeGroup = table.group;
}

bool isSpare(const SpareKey (&slots)[kSpareSlots], int keycode) {
    for (const SpareKey& slot : slots)
        if (slot.keycode == keycode) return true;
    return false;
}

// A new layout (setxkbmap) drops what we lent and may fill a spare keycode:
// a slot whose keycode now types something it was not lent is given up, a
// lending that vanished is forgotten, and free slots take keycodes still empty.
void followSpares(const KeySym* map, int first, int last, int perKeycode) {
    auto keysymsOf = [&](int keycode) { return map + (keycode - first) * perKeycode; };
    auto empty = [&](int keycode) {
        for (int level = 0; level < perKeycode; ++level)
            if (keysymsOf(keycode)[level] != NoSymbol) return false;
        return true;
    };
    for (SpareKey& slot : spareKeys) {
        if (!slot.keycode || slot.keycode < first || slot.keycode > last) continue;
        if (slot.boundTo != NoSymbol && keysymsOf(slot.keycode)[0] != slot.boundTo) slot.boundTo = NoSymbol;
        if (slot.boundTo == NoSymbol && !empty(slot.keycode)) slot.keycode = 0;
    }
    int keycode = last;
    for (SpareKey& slot : spareKeys) {
        while (!slot.keycode && keycode >= first) {
            if (empty(keycode) && !isSpare(spareKeys, keycode)) slot.keycode = KeyCode(keycode);
            --keycode;
        }
    }
}

// The Shift and AltGr needs of a level of a key type: the fewest of them
// that select it, none for the first level; false when only other
// modifiers (NumLock, Caps Lock, Ctrl) do.
bool levelModifiers(const XkbKeyTypeRec& type, int level, unsigned altGrMask, uint8_t& modifiers) {
    if (level == 0) {
        modifiers = 0;
        return true;
    }
    bool found = false;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        const unsigned mask = entry.mods.mask;
        if (!entry.active || entry.level != level || (mask & ~(ShiftMask | altGrMask)) != 0) continue;
        if (altGrMask == 0 && mask != ShiftMask) continue;
        const uint8_t needs = uint8_t(((mask & ShiftMask) ? kWithShift : 0) | ((mask & altGrMask) ? kWithAltGr : 0));
        if (!found || needs < modifiers) modifiers = needs;
        found = true;
    }
    return found;
}

// The pad's keys type digits and operators too, but a terminal in its
// keypad mode sends them as escape sequences: the typing block goes first.
void loadCharacterKeys(Display* display, int group) {
    characterKeyCount = 0;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb) return;
    const unsigned altGrMask = XkbKeysymToModifiers(display, XK_ISO_Level3_Shift);
    CharacterKey found[kMaxCharacterKeys];
    int count = 0;
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code && keycode < kKeycodes; ++keycode) {
        const int groups = XkbKeyNumGroups(xkb, keycode);
        if (groups == 0) continue;
        const int inGroup = group < groups ? group : 0;
        const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb, keycode, inGroup);
        for (int level = 0; level < type.num_levels && level < 4 && count < kMaxCharacterKeys; ++level) {
            const KeySym keysym = XkbKeySymEntry(xkb, keycode, level, inGroup);
            const char32_t character = xkb_keysym_to_utf32(xkb_keysym_t(keysym));
            uint8_t modifiers = 0;
            if (character < 0x20 || IsKeypadKey(keysym) || !levelModifiers(type, level, altGrMask, modifiers)) continue;
            found[count++] = {character, uint8_t(keycode), modifiers};
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    // Per character the fewest modifiers win, then the lowest keycode.
    std::sort(found, found + count, [](const CharacterKey& a, const CharacterKey& b) {
        if (a.character != b.character) return a.character < b.character;
        if (a.modifiers != b.modifiers) return a.modifiers < b.modifiers;
        return a.keycode < b.keycode;
    });
    for (int i = 0; i < count; ++i)
        if (characterKeyCount == 0 || characterKeys[characterKeyCount - 1].character != found[i].character)
            characterKeys[characterKeyCount++] = found[i];
}

void loadKeymap(Display* display) {
    KeycodeTable table;
    buildKeycodeTable(display, table);
    loadCodes(table);
    loadCharacterKeys(display, table.group);
    int first = 0, last = 0, perKeycode = 0;
    XDisplayKeycodes(display, &first, &last);
    KeySym* map = XGetKeyboardMapping(display, KeyCode(first), last - first + 1, &perKeycode);
    if (!map) return;
    followSpares(map, first, last, perKeycode);
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
    xkbEvent = watchKeyboardChanges(display);
    loadPointerMap(display);
    loadKeymap(display);
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
        if (event.type == xkbEvent) {
            loadKeymap(display);
        } else if (event.type == MappingNotify && event.xmapping.request == MappingPointer) {
            loadPointerMap(display);
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            loadKeymap(display);
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
    const int64_t now = perfCounter();
    for (SpareKey& spare : spareKeys) {
        if (!spare.keycode || spare.boundTo != keysym) continue;
        spare.lentAt = now;
        return spare.keycode;
    }
    SpareKey& slot = spareKeys[nextSpare++ % kSpareSlots];
    if (!slot.keycode) return 0;
    // More keysyms than slots in a quick run: the oldest waits out its settling.
    const int64_t settled = slot.lentAt + perfCounterFrequency() / kSpareSettleDivisor;
    if (slot.boundTo != NoSymbol && now < settled) sleepUntilCounter(settled);
    slot.lentAt = perfCounter();
    // Twice: a letter bound alone would type its lower case without Shift.
    KeySym symbols[2] = {keysym, keysym};
    XChangeKeyboardMapping(display, slot.keycode, 2, symbols, 1);
    // The character the slot typed before is no longer there, though the
    // keymap's change has not come back yet.
    for (int i = 0; i < characterKeyCount; ++i)
        if (characterKeys[i].keycode == slot.keycode) characterKeys[i].keycode = 0;
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

void sendClicks(Display* display, int logical, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        sendButton(display, logical, true);
        sendButton(display, logical, false);
    }
}

// The X button of a Linux input event code.
int xButtonOf(uint32_t code) {
    switch (code) {
    case BTN_LEFT: return 1;
    case BTN_MIDDLE: return 2;
    case BTN_RIGHT: return 3;
    case BTN_SIDE: return 8;
    case BTN_EXTRA: return 9;
    default: return 0;
    }
}

}  // namespace

bool ready() { return sender() != nullptr; }

void moveAbsolute(int32_t x, int32_t y) {
    if (Display* display = sender()) XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
}

// Normalised 0..65535 over the screen, as the Windows record carries it.
void moveNormalised(int32_t x, int32_t y) {
    Display* display = sender();
    if (!display) return;
    const int screen = DefaultScreen(display);
    moveAbsolute(int32_t(int64_t(x) * DisplayWidth(display, screen) / 65536),
                 int32_t(int64_t(y) * DisplayHeight(display, screen) / 65536));
}

void moveRelative(int32_t dx, int32_t dy) {
    if (Display* display = sender()) XTestFakeRelativeMotionEvent(display, dx, dy, CurrentTime);
}

void button(uint32_t code, bool down) {
    Display* display = sender();
    if (!display) return;
    followMappingChanges(display);
    sendButton(display, xButtonOf(code), down);
}

// One notch is one press of button 4 (away) or 5 (toward), 7 (right) or 6 (left).
void wheel(bool horizontal, int32_t steps) {
    Display* display = sender();
    if (!display) return;
    const int away = horizontal ? 7 : 4, toward = horizontal ? 6 : 5;
    if (steps > 0) sendClicks(display, away, steps);
    if (steps < 0) sendClicks(display, toward, -steps);
}

void endPointerFrame() {
    if (Display* display = sender()) XFlush(display);
}

namespace {

// The key of a virtual-key code on this keyboard; the old codes of the
// modifiers (Shift, Ctrl, Alt without a side) are their left keys. The pad's
// digits have none: they go as the digit keysyms whatever NumLock's state.
KeyCode keycodeOfVirtualKey(uint32_t vk) {
    if ((vk >= 0x60 && vk <= 0x69) || vk == 0x6E) return 0;
    switch (vk) {
    case 0x10: vk = 0xA0; break;
    case 0x11: vk = 0xA2; break;
    case 0x12: vk = 0xA4; break;
    default: break;
    }
    return vk < 256 ? KeyCode(keycodeOfCode[vk].load()) : 0;
}

}  // namespace

bool key(uint32_t vk, bool down) {
    Display* display = sender();
    if (!display) return false;
    followMappingChanges(display);
    KeyCode keycode = keycodeOfVirtualKey(vk);
    const KeySym keysym = keycode ? NoSymbol : keymap::keysymForVirtualKey(vk);
    if (!keycode && keysym != NoSymbol) keycode = keycodeAtFirstLevel(keysym);
    if (!keycode && keysym != NoSymbol) {
        // The display's own lock keeps two senders from lending one slot twice.
        XLockDisplay(display);
        keycode = lendSpareKeycode(display, keysym);
        XUnlockDisplay(display);
    }
    if (!keycode) return false;
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
    XFlush(display);
    return true;
}

namespace {

const CharacterKey* characterKeyOf(char32_t character) {
    const CharacterKey* begin = characterKeys;
    const CharacterKey* end = begin + characterKeyCount;
    const CharacterKey* at = std::lower_bound(begin, end, character,
                                              [](const CharacterKey& key, char32_t c) { return key.character < c; });
    return at != end && at->character == character ? at : nullptr;
}

void tapKeycode(Display* display, KeyCode keycode, KeyCode shift, KeyCode altGr) {
    if (shift) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    if (altGr) XTestFakeKeyEvent(display, altGr, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    if (altGr) XTestFakeKeyEvent(display, altGr, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shift, False, CurrentTime);
}

}  // namespace

unsigned long keysymOfCharacter(char32_t character) { return xkb_utf32_to_keysym(uint32_t(character)); }

bool typeCharacter(char32_t character) {
    Display* display = sender();
    if (!display) return false;
    followMappingChanges(display);
    XLockDisplay(display);
    KeyCode keycode = 0, shift = 0, altGr = 0;
    const CharacterKey* key = characterKeyOf(character);
    // A key the keymap now holds may be a lent one: it is handed out again.
    if (key && key->keycode && isSpare(spareKeys, key->keycode)) {
        for (SpareKey& spare : spareKeys)
            if (spare.keycode == key->keycode) spare.lentAt = perfCounter();
    }
    if (key && key->keycode) {
        keycode = key->keycode;
        if (key->modifiers & kWithShift) shift = keycodeAtFirstLevel(XK_Shift_L);
        if (key->modifiers & kWithAltGr) altGr = keycodeAtFirstLevel(XK_ISO_Level3_Shift);
        if ((key->modifiers & kWithShift && !shift) || (key->modifiers & kWithAltGr && !altGr)) keycode = 0;
    }
    const KeySym keysym = keycode ? NoSymbol : keysymOfCharacter(character);
    if (!keycode && keysym != NoSymbol) {
        shift = altGr = 0;
        keycode = lendSpareKeycode(display, keysym);
    }
    if (keycode) tapKeycode(display, keycode, shift, altGr);
    XUnlockDisplay(display);
    if (keycode) XFlush(display);
    return keycode != 0;
}

uint32_t keyPlaceOf(uint32_t vk) {
    Display* display = sender();
    if (!display) return 0;
    followMappingChanges(display);
    const KeyCode keycode = keycodeOfVirtualKey(vk);
    return keycode >= 8 ? keycode - 8u : 0;
}

unsigned long keysymTypedBy(uint32_t vk) {
    Display* display = sender();
    if (!display) return NoSymbol;
    followMappingChanges(display);
    const KeyCode keycode = keycodeOfVirtualKey(vk);
    return keycode ? firstLevelKeysym[keycode].load() : NoSymbol;
}

unsigned long keysymTypedBy(uint32_t vk, int level) {
    Display* display = sender();
    if (!display) return NoSymbol;
    followMappingChanges(display);
    const KeyCode keycode = keycodeOfVirtualKey(vk);
    return keycode ? XkbKeycodeToKeysym(display, keycode, activeGroup, level) : NoSymbol;
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

}  // namespace platform::xtest_output

namespace platform {

bool cursorPosition(int32_t& x, int32_t& y) {
    Display* display = xtest_output::sender();
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
