// The virtual pointer and keyboard of a wlroots compositor, or KDE's fake
// input where those are missing, or else the desktop portal's remote desktop. One connection of its own;
// libwayland-client marshals requests from any thread, so every engine
// thread may send on it, and a reader thread takes the compositor's
// few events (outputs coming and going) so they never pile up unread.
#include "platform/linux/wayland_output_linux.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/linux/kde_fake_input_linux.h"
#include "platform/linux/remote_desktop_portal_linux.h"
#include "platform/linux/wayland_outputs_linux.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace platform::wayland_output {
namespace {

const int kKeycodes = 256;       // xkb keycodes: evdev codes + 8
const uint32_t kEvdevOffset = 8;
const double kWheelStepValue = 15.0;  // what one notch of a wheel mouse reports

// The key that types a keysym, and the modifiers its level needs.
struct KeyEntry {
    uint32_t keysym;
    uint32_t evdevCode;
    uint32_t levelModifiers;
};

struct Connection {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    uint32_t fakeInputName = 0, fakeInputVersion = 0;  // in the registry; 0: not offered
    wayland_outputs::Outputs outputs;
    // Filled once before the devices exist, read-only after.
    std::vector<KeyEntry> keys;
    uint32_t modifiersOfKey[kKeycodes] = {};  // depressed while the key is held
    uint32_t lockOfKey[kKeycodes] = {};       // toggled by a press of the key
    uint32_t keyOfModifier[32] = {};          // a key that holds just this bit and locks nothing; 0: none
    uint32_t lockKeyOf[32] = {};              // a key that locks just this bit; 0: none
};

namespace portal = remote_desktop_portal;

Connection connection;
std::atomic<bool> connected{false};
// Set once before the first event: input goes through KDE's fake input.
bool throughKde = false;
// The layout's bounding box, from the outputs' places and sizes.
std::atomic<int32_t> layoutLeft{0}, layoutTop{0}, layoutWidth{0}, layoutHeight{0};
std::atomic<bool> modifierHeld[kKeycodes];
std::atomic<uint32_t> lockedModifiers{0};

uint32_t nowMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- Outputs: the extent of absolute motion ---------------------------------

// Called on the reader thread as outputs come, change and go.
void updateLayout() {
    wayland_outputs::LayoutBox box;
    if (!wayland_outputs::layoutBox(connection.outputs, box)) return;
    layoutLeft = box.left;
    layoutTop = box.top;
    layoutWidth = box.width;
    layoutHeight = box.height;
}

// ---- Globals ---------------------------------------------------------------

void onGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (wayland_outputs::offer(connection.outputs, registry, name, interface, version)) return;
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !connection.seat) {
        connection.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        connection.pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        connection.keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (kde_fake_input::usable(interface, version)) {
        connection.fakeInputName = name;
        connection.fakeInputVersion = version;
    }
}

// Only an output can go while we run; its share of the layout goes with it.
void onGlobalRemove(void*, wl_registry*, uint32_t name) { wayland_outputs::remove(connection.outputs, name); }

const wl_registry_listener kRegistryListener = {.global = onGlobal, .global_remove = onGlobalRemove};

// ---- Keymap ----------------------------------------------------------------

bool oneBit(uint32_t mask) { return mask && !(mask & (mask - 1)); }

// Of the modifier sets that reach a level, the first whose every modifier
// some key can hold or lock, since kwin reads modifiers from the keys alone.
xkb_mod_mask_t pressableMask(const xkb_mod_mask_t* masks, int count) {
    for (int i = 0; i < count; ++i) {
        bool pressable = true;
        for (uint32_t bit = 0; bit < 32; ++bit)
            if ((masks[i] >> bit & 1) && !connection.keyOfModifier[bit] && !connection.lockKeyOf[bit])
                pressable = false;
        if (pressable) return masks[i];
    }
    return masks[0];
}

// What each modifier and lock key sets; which key types each keysym,
// preferring the first level so that most keys need no modifier.
void learnKeymap(xkb_keymap* keymap) {
    const xkb_keycode_t first = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap), kEvdevOffset);
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), kKeycodes - 1);
    for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
        xkb_state* state = xkb_state_new(keymap);
        xkb_state_update_key(state, keycode, XKB_KEY_DOWN);
        const uint32_t held = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
        xkb_state_update_key(state, keycode, XKB_KEY_UP);
        const uint32_t locked = xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED);
        xkb_state_unref(state);
        connection.modifiersOfKey[keycode] = held;
        connection.lockOfKey[keycode] = locked;
        if (oneBit(held) && !locked && !connection.keyOfModifier[std::countr_zero(held)])
            connection.keyOfModifier[std::countr_zero(held)] = keycode;
        if (oneBit(locked) && !connection.lockKeyOf[std::countr_zero(locked)])
            connection.lockKeyOf[std::countr_zero(locked)] = keycode;
    }
    for (xkb_level_index_t level = 0; level < 4; ++level) {
        for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
            if (level >= xkb_keymap_num_levels_for_key(keymap, keycode, 0)) continue;
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, level, &syms) != 1) continue;
            xkb_mod_mask_t masks[4] = {};
            const int count = level > 0 ? int(xkb_keymap_key_get_mods_for_level(keymap, keycode, 0, level, masks, 4)) : 1;
            if (count < 1) continue;
            connection.keys.push_back(KeyEntry{syms[0], keycode - kEvdevOffset, pressableMask(masks, count)});
        }
    }
}

// Hands the compositor the keymap as a file of its text with the trailing
// NUL, as wl_keyboard keymaps are passed.
bool sendKeymap(xkb_keymap* keymap) {
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return false;
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("varnet-keymap", MFD_CLOEXEC);
    bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (written) zwp_virtual_keyboard_v1_keymap(connection.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    if (fd >= 0) close(fd);
    return written;
}

// The layout named by the usual XKB_DEFAULT_* variables, else the system's
// default: the one a wlroots compositor is handed, and the one kwin, which
// takes no keymap from us, reads from the same variables.
bool prepareKeyboard() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return false;
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    bool ready = false;
    if (keymap) {
        learnKeymap(keymap);
        if (throughKde) {
            ready = true;
        } else {
            connection.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
                connection.keyboardManager, connection.seat);
            ready = sendKeymap(keymap);
        }
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return ready;
}

// ---- Connection ------------------------------------------------------------

void readEvents() {
    while (wl_display_dispatch(connection.display) != -1) {
    }
    connected = false;
    std::fprintf(stderr, "varnet: the Wayland compositor closed the input connection: %s\n",
                 std::strerror(wl_display_get_error(connection.display)));
}

bool open() {
    connection.display = wl_display_connect(nullptr);
    if (!connection.display) return false;
    connection.outputs.changed = updateLayout;
    wl_registry* registry = wl_display_get_registry(connection.display);
    wl_registry_add_listener(registry, &kRegistryListener, nullptr);
    wl_display_roundtrip(connection.display);
    wayland_outputs::askLogicalPlaces(connection.outputs);
    const bool wlroots = connection.seat && connection.pointerManager && connection.keyboardManager;
    throughKde = !wlroots && connection.fakeInputName != 0;
    if (!wlroots && !throughKde) {
        wl_display_disconnect(connection.display);
        connection = Connection{};
        // Until the person answers the desktop's dialog, and if they refuse,
        // input goes through XTest.
        remote_desktop_portal::ask();
        return false;
    }
    if (throughKde)
        kde_fake_input::bind(registry, connection.fakeInputName, connection.fakeInputVersion);
    else
        connection.pointer =
            zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection.pointerManager, connection.seat);
    const bool keyboardReady = prepareKeyboard();
    // The outputs' modes, and any refusal of the devices, arrive by now.
    if (!keyboardReady || wl_display_roundtrip(connection.display) < 0) {
        wl_display_disconnect(connection.display);
        connection = Connection{};
        throughKde = false;
        return false;
    }
    connected = true;
    std::thread(readEvents).detach();
    return true;
}

void flush() { wl_display_flush(connection.display); }

void sendModifiers(uint32_t extra) {
    uint32_t depressed = 0;
    for (int keycode = 0; keycode < kKeycodes; ++keycode) {
        if (connection.modifiersOfKey[keycode] && modifierHeld[keycode].load(std::memory_order_relaxed))
            depressed |= connection.modifiersOfKey[keycode];
    }
    zwp_virtual_keyboard_v1_modifiers(connection.keyboard, depressed | extra, 0, lockedModifiers, 0);
}

const KeyEntry* keyFor(uint32_t keysym) {
    for (const KeyEntry& entry : connection.keys)
        if (entry.keysym == keysym) return &entry;
    return nullptr;
}

void tapKde(uint32_t keycode) {
    kde_fake_input::key(keycode - kEvdevOffset, true);
    kde_fake_input::key(keycode - kEvdevOffset, false);
}

// kwin reads modifiers from the keys themselves: a key on a higher level is
// pressed and released each between a press and a release of the modifier
// keys its level needs (or two taps of its lock key, NumLock for the
// numeric pad), leaving alone a modifier already held or locked.
void pressLevelModifiers(uint32_t levelModifiers, bool down) {
    for (uint32_t bit = 0; bit < 32; ++bit) {
        if (!(levelModifiers >> bit & 1) || (lockedModifiers.load(std::memory_order_relaxed) >> bit & 1)) continue;
        bool held = false;
        for (int keycode = 0; keycode < kKeycodes; ++keycode)
            if (connection.modifiersOfKey[keycode] >> bit & 1)
                held = held || modifierHeld[keycode].load(std::memory_order_relaxed);
        if (held) continue;
        if (connection.keyOfModifier[bit])
            kde_fake_input::key(connection.keyOfModifier[bit] - kEvdevOffset, down);
        else if (connection.lockKeyOf[bit])
            tapKde(connection.lockKeyOf[bit]);
    }
}

}  // namespace

bool active() {
    static const bool opened = open();
    return opened ? connected.load(std::memory_order_relaxed) : portal::granted();
}

void moveAbsolute(int32_t x, int32_t y) {
    if (portal::granted()) return portal::moveAbsolute(x, y);
    const int32_t width = layoutWidth, height = layoutHeight;
    if (width <= 0 || height <= 0) return;
    const int32_t inX = std::clamp(x - layoutLeft.load(), 0, width - 1);
    const int32_t inY = std::clamp(y - layoutTop.load(), 0, height - 1);
    if (throughKde) return kde_fake_input::moveAbsolute(layoutLeft + inX, layoutTop + inY);
    zwlr_virtual_pointer_v1_motion_absolute(connection.pointer, nowMs(), uint32_t(inX), uint32_t(inY),
                                            uint32_t(width), uint32_t(height));
}

void moveNormalised(int32_t x, int32_t y) {
    if (portal::granted()) return portal::moveNormalised(x, y);
    const int64_t width = layoutWidth, height = layoutHeight;
    moveAbsolute(layoutLeft + int32_t(int64_t(x) * width / 65536),
                 layoutTop + int32_t(int64_t(y) * height / 65536));
}

void moveRelative(int32_t dx, int32_t dy) {
    if (portal::granted()) return portal::moveRelative(dx, dy);
    if (throughKde) return kde_fake_input::moveRelative(dx, dy);
    zwlr_virtual_pointer_v1_motion(connection.pointer, nowMs(), wl_fixed_from_int(dx), wl_fixed_from_int(dy));
}

void button(uint32_t code, bool down) {
    if (portal::granted()) return portal::button(code, down);
    if (throughKde) return kde_fake_input::button(code, down);
    zwlr_virtual_pointer_v1_button(connection.pointer, nowMs(), code,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

void wheel(bool horizontal, int32_t steps) {
    if (portal::granted()) return portal::wheel(horizontal, steps);
    if (steps == 0) return;
    // Wayland's vertical axis grows downwards; a turn away from the user is up.
    const int32_t discrete = horizontal ? steps : -steps;
    if (throughKde) return kde_fake_input::axis(horizontal, kWheelStepValue * discrete);
    const uint32_t axis = horizontal ? WL_POINTER_AXIS_HORIZONTAL_SCROLL : WL_POINTER_AXIS_VERTICAL_SCROLL;
    zwlr_virtual_pointer_v1_axis_source(connection.pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(connection.pointer, nowMs(), axis,
                                          wl_fixed_from_double(kWheelStepValue * discrete), discrete);
}

void endPointerFrame() {
    if (portal::granted()) return;
    if (!throughKde) zwlr_virtual_pointer_v1_frame(connection.pointer);
    flush();
}

bool key(uint32_t keysym, bool down) {
    if (portal::granted()) {
        portal::key(keysym, down);
        return true;
    }
    const KeyEntry* entry = keyFor(keysym);
    if (!entry) return false;
    const uint32_t keycode = entry->evdevCode + kEvdevOffset;
    const uint32_t state = down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED;
    const bool isModifier = connection.modifiersOfKey[keycode] || connection.lockOfKey[keycode];
    if (throughKde) {
        pressLevelModifiers(entry->levelModifiers, true);
        kde_fake_input::key(entry->evdevCode, down);
        pressLevelModifiers(entry->levelModifiers, false);
        if (isModifier) {
            modifierHeld[keycode] = down;
            if (down) lockedModifiers ^= connection.lockOfKey[keycode];
        }
        flush();
        return true;
    }
    // A key on a higher level is pressed and released with its level's
    // modifiers set just around it, so a window reads the same keysym both
    // times, as when a person holds Shift for it.
    if (entry->levelModifiers) sendModifiers(entry->levelModifiers);
    zwp_virtual_keyboard_v1_key(connection.keyboard, nowMs(), entry->evdevCode, state);
    if (isModifier) {
        modifierHeld[keycode] = down;
        if (down) lockedModifiers ^= connection.lockOfKey[keycode];
    }
    // The compositor takes modifiers only from this request, never from
    // the modifier keys themselves.
    if (isModifier || entry->levelModifiers) sendModifiers(0);
    flush();
    return true;
}

}  // namespace platform::wayland_output
