#include "platform/linux/kde/fake_input_output_linux.h"

#include <string>

#include "platform/linux/kde/fake_input_linux.h"
#include "platform/linux/wayland/input_connection_linux.h"
#include "platform/linux/wayland/xkb_keys_linux.h"

namespace platform::kde_output {
namespace {

const double kWheelStepValue = 15.0;  // what one notch of a wheel mouse reports

// Filled once before the device exists, read-only after.
xkb_keys::Keymap keymap;

void tap(uint32_t keycode) {
    kde_fake_input::key(keycode - xkb_keys::kEvdevOffset, true);
    kde_fake_input::key(keycode - xkb_keys::kEvdevOffset, false);
}

// kwin reads modifiers from the keys themselves: a key on a higher level is
// pressed and released each between a press and a release of the modifier
// keys its level needs (or two taps of its lock key, NumLock for the
// numeric pad), leaving alone a modifier already held or locked.
void pressLevelModifiers(uint32_t levelModifiers, bool down) {
    const uint32_t alreadySet = xkb_keys::heldModifiers(keymap) | xkb_keys::lockedModifiers();
    for (uint32_t bit = 0; bit < 32; ++bit) {
        if (!(levelModifiers >> bit & 1) || (alreadySet >> bit & 1)) continue;
        if (keymap.keyOfModifier[bit])
            kde_fake_input::key(keymap.keyOfModifier[bit] - xkb_keys::kEvdevOffset, down);
        else if (keymap.lockKeyOf[bit])
            tap(keymap.lockKeyOf[bit]);
    }
}

}  // namespace

bool open() {
    std::string text;  // kwin takes no keymap from us
    return kde_fake_input::bind() && xkb_keys::learn(keymap, text);
}

bool ready() { return kde_fake_input::bound() && wayland_input::connected(); }

void moveAbsolute(int32_t x, int32_t y) {
    int32_t inX = 0, inY = 0, width = 0, height = 0;
    if (!wayland_input::pointInLayout(x, y, inX, inY, width, height)) return;
    kde_fake_input::moveAbsolute(wayland_input::layoutLeft() + inX, wayland_input::layoutTop() + inY);
}

void moveRelative(int32_t dx, int32_t dy) { kde_fake_input::moveRelative(dx, dy); }

void button(uint32_t code, bool down) { kde_fake_input::button(code, down); }

void wheel(bool horizontal, int32_t steps) {
    if (steps == 0) return;
    // Wayland's vertical axis grows downwards; a turn away from the user is up.
    kde_fake_input::axis(horizontal, kWheelStepValue * (horizontal ? steps : -steps));
}

void endPointerFrame() { wayland_input::flush(); }

bool key(uint32_t keysym, bool down) {
    const xkb_keys::KeyEntry* entry = xkb_keys::keyFor(keymap, keysym);
    if (!entry) return false;
    pressLevelModifiers(entry->levelModifiers, true);
    kde_fake_input::key(entry->evdevCode, down);
    pressLevelModifiers(entry->levelModifiers, false);
    xkb_keys::noteSent(keymap, entry->evdevCode + xkb_keys::kEvdevOffset, down);
    wayland_input::flush();
    return true;
}

void keyAtPlace(uint32_t evdevCode, bool down) {
    kde_fake_input::key(evdevCode, down);
    xkb_keys::noteSent(keymap, evdevCode + xkb_keys::kEvdevOffset, down);
    wayland_input::flush();
}

}  // namespace platform::kde_output
