#include "platform/linux/kde/fake_input_linux.h"

#include <wayland-client.h>

#include <algorithm>

#include "fake-input-client-protocol.h"
#include "platform/linux/wayland/input_connection_linux.h"

namespace platform::kde_fake_input {
namespace {

// pointer_motion_absolute came in 3, keyboard_key in 4.
const uint32_t kNeededVersion = 4;

org_kde_kwin_fake_input* fakeInput = nullptr;

}  // namespace

bool bind() {
    uint32_t name = 0, version = 0;
    if (!wayland_input::findGlobal(org_kde_kwin_fake_input_interface.name, name, version) || version < kNeededVersion)
        return false;
    fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
        wayland_input::registry(), name, &org_kde_kwin_fake_input_interface, std::min(version, kNeededVersion)));
    // kwin takes events from a fake input only once it has been introduced.
    org_kde_kwin_fake_input_authenticate(fakeInput, "Varnet", "Automated clicks and key presses");
    return true;
}

bool bound() { return fakeInput != nullptr; }

void moveAbsolute(int32_t x, int32_t y) {
    org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput, wl_fixed_from_int(x), wl_fixed_from_int(y));
}

void moveRelative(int32_t dx, int32_t dy) {
    org_kde_kwin_fake_input_pointer_motion(fakeInput, wl_fixed_from_int(dx), wl_fixed_from_int(dy));
}

void button(uint32_t code, bool down) {
    org_kde_kwin_fake_input_button(fakeInput, code,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
}

void key(uint32_t evdevCode, bool down) {
    org_kde_kwin_fake_input_keyboard_key(fakeInput, evdevCode,
                                         down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void axis(bool horizontal, double value) {
    org_kde_kwin_fake_input_axis(fakeInput,
                                 horizontal ? WL_POINTER_AXIS_HORIZONTAL_SCROLL : WL_POINTER_AXIS_VERTICAL_SCROLL,
                                 wl_fixed_from_double(value));
}

}  // namespace platform::kde_fake_input
