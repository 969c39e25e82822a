#include "platform/linux/wayland/virtual_devices_linux.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/wayland/input_connection_linux.h"
#include "platform/linux/wayland/xkb_keys_linux.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace platform::wlroots_devices {
namespace {

const double kWheelStepValue = 15.0;  // what one notch of a wheel mouse reports

zwlr_virtual_pointer_v1* pointer = nullptr;
zwp_virtual_keyboard_v1* keyboard = nullptr;
// The person's layout as the virtual keyboard has it, with the keymap text
// it was learned from: the person's own, or that with a few characters the
// layout lacks lent empty keys (lentKeysyms), kept until the person's
// layout changes.
struct Layout {
    xkb_keys::Keymap keys;
    std::string text;
    std::string personsText;
    std::vector<uint32_t> lentKeysyms;
};
// At most this many characters hold a lent key at a time; one more starts
// the set afresh.
constexpr size_t kMaxLentKeys = 16;
// Learned before the devices exist and again when the compositor hands our
// keyboard another; published whole, so each key is sent on one layout
// however many threads send, and no thread waits for another's learning.
std::atomic<std::shared_ptr<const Layout>> layout;
std::atomic<uint32_t> learnedGeneration{0};
// Taken by whoever replaces the layout (a switch learned, a key lent), so
// that the last one handed to the compositor is the one published. Also
// guards lentTexts: hashes of the keymaps with lent keys we handed over,
// the newest last, which come back to our own keyboard (maybe after the
// person's layout changed) and are never a layout of the person's.
std::mutex layoutLock;
std::vector<size_t> lentTexts;
constexpr size_t kLentTextsKept = 64;

bool lentByUs(const std::string& text) {
    return std::find(lentTexts.begin(), lentTexts.end(), std::hash<std::string>{}(text)) != lentTexts.end();
}

template <typename Proxy>
Proxy* bindManager(const wl_interface& interface) {
    uint32_t name = 0, version = 0;
    if (!wayland_input::findGlobal(interface.name, name, version)) return nullptr;
    return static_cast<Proxy*>(wl_registry_bind(wayland_input::registry(), name, &interface, 1));
}

// Hands the compositor the keymap as a file of its text with the trailing
// NUL, as wl_keyboard keymaps are passed.
bool sendKeymap(const std::string& text) {
    const size_t size = text.size() + 1;
    const int fd = memfd_create("varnet-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && !text.empty() && write(fd, text.c_str(), size) == ssize_t(size);
    if (written) zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    if (fd >= 0) close(fd);
    return written;
}

// A layout switched on the compositor reaches the program's own keyboard as
// a new keymap: it is learned and handed to the virtual keyboard before the
// next key, so keys keep their meaning. The thread that first sees a new
// generation learns it; the others go on with the layout they have.
std::shared_ptr<const Layout> currentLayout() {
    uint32_t learned = learnedGeneration.load();
    const uint32_t now = wayland_input::seatKeymapGeneration();
    if (now == learned || !learnedGeneration.compare_exchange_strong(learned, now)) return layout.load();
    uint32_t generation = 0;
    auto fresh = std::make_shared<Layout>();
    fresh->text = wayland_input::seatKeymap(generation);
    std::lock_guard<std::mutex> lock(layoutLock);
    const std::shared_ptr<const Layout> before = layout.load();
    // Our own keymap (the person's, or one with keys lent) comes back once
    // our keyboard types: nothing to do then.
    if (fresh->text.empty() || !xkb_keys::learn(fresh->keys, fresh->text) || (before && fresh->text == before->text) ||
        (before && fresh->text == before->personsText) || lentByUs(fresh->text))
        return before;
    if (!xkb_keys::followPresses(fresh->text) || !sendKeymap(fresh->text)) return before;
    fresh->personsText = fresh->text;
    layout.store(fresh);
    return fresh;
}

// A character the layout lacks: the person's keymap with it (and the others
// lent before) on empty keys goes to the compositor, which hands it to the
// focused window before the key that follows. nullptr when it cannot be lent.
std::shared_ptr<const Layout> lendKeyFor(uint32_t keysym) {
    std::lock_guard<std::mutex> lock(layoutLock);
    const std::shared_ptr<const Layout> now = layout.load();
    if (!now || xkb_keys::keyFor(now->keys, keysym)) return now;  // lent meanwhile
    auto fresh = std::make_shared<Layout>();
    fresh->personsText = now->personsText;
    if (now->lentKeysyms.size() < kMaxLentKeys) fresh->lentKeysyms = now->lentKeysyms;
    fresh->lentKeysyms.push_back(keysym);
    fresh->text = xkb_keys::withLentKeys(fresh->personsText, fresh->lentKeysyms);
    if (fresh->text.empty() || !xkb_keys::learn(fresh->keys, fresh->text) || !sendKeymap(fresh->text)) return nullptr;
    if (lentTexts.size() == kLentTextsKept) lentTexts.erase(lentTexts.begin());
    lentTexts.push_back(std::hash<std::string>{}(fresh->text));
    layout.store(fresh);
    return fresh;
}

void sendModifiers(const xkb_keys::Keymap& keymap, uint32_t extra) {
    zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_keys::heldModifiers(keymap) | extra, 0,
                                      xkb_keys::lockedModifiers(), 0);
}

}  // namespace

bool open() {
    wl_seat* seat = wayland_input::seat();
    auto* pointerManager = bindManager<zwlr_virtual_pointer_manager_v1>(zwlr_virtual_pointer_manager_v1_interface);
    auto* keyboardManager = bindManager<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface);
    if (!seat || !pointerManager || !keyboardManager) return false;
    // The person's own layout, as the compositor gave it to our keyboard, so
    // that a key sent by its place types what it types for the person.
    uint32_t generation = 0;
    auto first = std::make_shared<Layout>();
    first->text = wayland_input::seatKeymap(generation);
    if (!xkb_keys::learn(first->keys, first->text) || !xkb_keys::followPresses(first->text)) return false;
    first->personsText = first->text;
    learnedGeneration = generation;
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager, seat);
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager, seat);
    layout.store(first);
    return sendKeymap(first->text);
}

bool ready() { return pointer && keyboard && wayland_input::connected(); }

void moveAbsolute(int32_t x, int32_t y) {
    int32_t inX = 0, inY = 0, width = 0, height = 0;
    if (!pointer || !wayland_input::pointInLayout(x, y, inX, inY, width, height)) return;
    zwlr_virtual_pointer_v1_motion_absolute(pointer, wayland_input::nowMs(), uint32_t(inX), uint32_t(inY),
                                            uint32_t(width), uint32_t(height));
}

void moveRelative(int32_t dx, int32_t dy) {
    if (!pointer) return;
    zwlr_virtual_pointer_v1_motion(pointer, wayland_input::nowMs(), wl_fixed_from_int(dx), wl_fixed_from_int(dy));
}

void button(uint32_t code, bool down) {
    if (!pointer) return;
    zwlr_virtual_pointer_v1_button(pointer, wayland_input::nowMs(), code,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

void wheel(bool horizontal, int32_t steps) {
    if (!pointer || steps == 0) return;
    // Wayland's vertical axis grows downwards; a turn away from the user is up.
    const int32_t discrete = horizontal ? steps : -steps;
    const uint32_t axis = horizontal ? WL_POINTER_AXIS_HORIZONTAL_SCROLL : WL_POINTER_AXIS_VERTICAL_SCROLL;
    zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(pointer, wayland_input::nowMs(), axis,
                                          wl_fixed_from_double(kWheelStepValue * discrete), discrete);
}

bool key(uint32_t keysym, bool down) {
    if (!keyboard) return false;
    std::shared_ptr<const Layout> now = currentLayout();
    // A key lent for a press is still there for its release.
    if (now && down && !xkb_keys::keyFor(now->keys, keysym)) now = lendKeyFor(keysym);
    if (!now) return false;
    const xkb_keys::Keymap& keymap = now->keys;
    const xkb_keys::KeyEntry* entry = xkb_keys::keyFor(keymap, keysym);
    if (!entry) return false;
    const uint32_t keycode = entry->evdevCode + xkb_keys::kEvdevOffset;
    const bool isModifier = keymap.modifiersOfKey[keycode] || keymap.lockOfKey[keycode];
    // A key on a higher level is pressed and released with its level's
    // modifiers set just around it, so a window reads the same keysym both
    // times, as when a person holds Shift for it.
    if (entry->levelModifiers) sendModifiers(keymap, entry->levelModifiers);
    zwp_virtual_keyboard_v1_key(keyboard, wayland_input::nowMs(), entry->evdevCode,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_keys::noteSent(keymap, keycode, down);
    // The compositor takes modifiers only from this request, never from
    // the modifier keys themselves.
    if (isModifier || entry->levelModifiers) sendModifiers(keymap, 0);
    wayland_input::flush();
    return true;
}

void keyAtPlace(uint32_t evdevCode, bool down) {
    if (!keyboard) return;
    currentLayout();
    const xkb_keys::PlacedModifiers m = xkb_keys::notePlacedKey(evdevCode, down);
    zwp_virtual_keyboard_v1_key(keyboard, wayland_input::nowMs(), evdevCode,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard, m.depressed, m.latched, m.locked, m.group);
    wayland_input::flush();
}

void endPointerFrame() {
    if (pointer) zwlr_virtual_pointer_v1_frame(pointer);
    wayland_input::flush();
}

}  // namespace platform::wlroots_devices
