// A small Wayland client for the end-to-end tests on a compositor.
//
//   wayland_client log          a full-screen window that prints, one line
//                               each, what reaches it: "seat pointer keyboard"
//                               when the seat gains devices, "motion X Y",
//                               "button CODE 1|0", "axis AXIS DISCRETE",
//                               "scroll AXIS VALUE",
//                               "key NAME 1|0" (the keysym its keymap and
//                               modifiers give), "leave" when the pointer
//                               leaves it, "focus in" and "focus out" as the
//                               keyboard's focus comes and goes
//   wayland_client press NAME   presses and releases one key through a
//                               virtual keyboard of its own, then ends;
//                               "Ctrl+NAME" holds Control with it. Where the
//                               compositor has no virtual keyboard, through
//                               kwin's fake input (which this program must be
//                               granted), Control as a key of its own
//   wayland_client hold NAME MS as press, with the key held MS milliseconds
//                               (long enough for the compositor to repeat it)
//   wayland_client click X Y [right]
//                               moves the pointer to (X, Y) of the outputs'
//                               layout and clicks the left (or right) button
//                               there, through a virtual pointer of its own
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"
#ifdef VARNET_TEST_KDE_FAKE_INPUT
#include "fake-input-client-protocol.h"
#endif

namespace {

struct Client {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* shell = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
    wl_output* outputs[4] = {};
    zxdg_output_manager_v1* outputManager = nullptr;
#ifdef VARNET_TEST_KDE_FAKE_INPUT
    org_kde_kwin_fake_input* fakeInput = nullptr;
#endif
    wl_surface* surface = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    xkb_context* xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    bool closed = false;
};

Client client;

void line(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int sharedMemory(size_t size) {
    int fd = memfd_create("wayland-client-test", MFD_CLOEXEC);
    if (fd >= 0 && ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// ---- Pointer and keyboard ----------------------------------------------------

void pointerEnter(void*, wl_pointer*, uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
    line("enter " + std::to_string(wl_fixed_to_int(x)) + " " + std::to_string(wl_fixed_to_int(y)));
}
void pointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) { line("leave"); }
void pointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    line("motion " + std::to_string(wl_fixed_to_int(x)) + " " + std::to_string(wl_fixed_to_int(y)));
}
void pointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    line("button " + std::to_string(button) + " " + std::to_string(state));
}
// Continuous scrolling (kwin's fake input sends no discrete steps).
void pointerAxis(void*, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value) {
    line("scroll " + std::to_string(axis) + " " + std::to_string(wl_fixed_to_int(value)));
}
void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, uint32_t axis, int32_t discrete) {
    line("axis " + std::to_string(axis) + " " + std::to_string(discrete));
}

const wl_pointer_listener kPointerListener = {
    .enter = pointerEnter, .leave = pointerLeave, .motion = pointerMotion, .button = pointerButton,
    .axis = pointerAxis, .frame = pointerFrame, .axis_source = pointerAxisSource,
    .axis_stop = pointerAxisStop, .axis_discrete = pointerAxisDiscrete, .axis_value120 = nullptr};

void keyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t size) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    if (client.state) xkb_state_unref(client.state);
    if (client.keymap) xkb_keymap_unref(client.keymap);
    client.keymap = xkb_keymap_new_from_string(client.xkb, static_cast<const char*>(text),
                                               XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    client.state = client.keymap ? xkb_state_new(client.keymap) : nullptr;
}
void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) { line("focus in"); }
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { line("focus out"); }
void keyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (!client.state) return;
    char name[64] = "?";
    xkb_keysym_get_name(xkb_state_key_get_one_sym(client.state, key + 8), name, sizeof name);
    line(std::string("key ") + name + " " + std::to_string(state));
}
void keyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                       uint32_t group) {
    if (client.state) xkb_state_update_mask(client.state, depressed, latched, locked, 0, 0, group);
}
void keyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {
    .keymap = keyboardKeymap, .enter = keyboardEnter, .leave = keyboardLeave, .key = keyboardKey,
    .modifiers = keyboardModifiers, .repeat_info = keyboardRepeat};

// Devices that went (a sender that ended) are released, so that new ones are bound afresh.
void seatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    if (!(capabilities & WL_SEAT_CAPABILITY_POINTER) && client.pointer) {
        wl_pointer_destroy(client.pointer);
        client.pointer = nullptr;
    }
    if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && client.keyboard) {
        wl_keyboard_destroy(client.keyboard);
        client.keyboard = nullptr;
    }
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !client.pointer) {
        client.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(client.pointer, &kPointerListener, nullptr);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !client.keyboard) {
        client.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(client.keyboard, &kKeyboardListener, nullptr);
    }
    line(std::string("seat") + (client.pointer ? " pointer" : "") + (client.keyboard ? " keyboard" : ""));
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {.capabilities = seatCapabilities, .name = seatName};

// ---- Window ------------------------------------------------------------------

void shellPing(void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); }
const xdg_wm_base_listener kShellListener = {.ping = shellPing};

// A plain grey buffer of the configured size, drawn once per configure.
void draw(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) width = 640, height = 480;
    const int32_t stride = width * 4;
    const size_t size = size_t(stride) * size_t(height);
    int fd = sharedMemory(size);
    if (fd < 0) return;
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels != MAP_FAILED) {
        std::memset(pixels, 0x80, size);
        munmap(pixels, size);
    }
    wl_shm_pool* pool = wl_shm_create_pool(client.shm, fd, int32_t(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(client.surface, buffer, 0, 0);
    wl_surface_damage(client.surface, 0, 0, width, height);
    wl_surface_commit(client.surface);
}

int32_t pendingWidth = 0, pendingHeight = 0;
void toplevelConfigure(void*, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    pendingWidth = width;
    pendingHeight = height;
}
void toplevelClose(void*, xdg_toplevel*) { client.closed = true; }
void toplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener = {.configure = toplevelConfigure, .close = toplevelClose,
                                                 .configure_bounds = toplevelBounds,
                                                 .wm_capabilities = toplevelCapabilities};

void surfaceConfigure(void*, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    draw(pendingWidth, pendingHeight);
    line("configured " + std::to_string(pendingWidth) + "x" + std::to_string(pendingHeight));
}
const xdg_surface_listener kSurfaceListener = {.configure = surfaceConfigure};

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto bind = [&](const wl_interface* type, uint32_t highest) {
        return wl_registry_bind(registry, name, type, version < highest ? version : highest);
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        client.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        client.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !client.seat)
        client.seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        client.shell = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        client.keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
#ifdef VARNET_TEST_KDE_FAKE_INPUT
    else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        client.fakeInput = static_cast<org_kde_kwin_fake_input*>(bind(&org_kde_kwin_fake_input_interface, 4));
#endif
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        client.pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0)
        client.outputManager = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 1));
    else if (std::strcmp(interface, wl_output_interface.name) == 0)
        for (wl_output*& output : client.outputs)
            if (!output) {
                output = static_cast<wl_output*>(bind(&wl_output_interface, 1));
                break;
            }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {.global = global, .global_remove = globalRemove};

int logInput() {
    if (!client.compositor || !client.shm || !client.shell || !client.seat) return 1;
    xdg_wm_base_add_listener(client.shell, &kShellListener, nullptr);
    wl_seat_add_listener(client.seat, &kSeatListener, nullptr);
    client.surface = wl_compositor_create_surface(client.compositor);
    xdg_surface* surface = xdg_wm_base_get_xdg_surface(client.shell, client.surface);
    xdg_surface_add_listener(surface, &kSurfaceListener, nullptr);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
    xdg_toplevel_add_listener(toplevel, &kToplevelListener, nullptr);
    xdg_toplevel_set_app_id(toplevel, "varnet-test-logger");
    xdg_toplevel_set_fullscreen(toplevel, nullptr);
    wl_surface_commit(client.surface);
    while (!client.closed && wl_display_dispatch(client.display) != -1) {
    }
    return 0;
}

// ---- Pressing a key ----------------------------------------------------------

// The keycode of the key that types the keysym without modifiers, 0 if none.
xkb_keycode_t keycodeOf(xkb_keymap* keymap, xkb_keysym_t wanted) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) == 1 && syms[0] == wanted) return code;
    }
    return 0;
}

// kwin forms the modifiers from the keys it is sent: Control is its left key
// held around the other. Keys go by their Linux input event codes.
int pressThroughFakeInput(xkb_keycode_t keycode, bool withControl) {
#ifdef VARNET_TEST_KDE_FAKE_INPUT
    const uint32_t kLeftControl = 29, kEvdevOffset = 8;
    org_kde_kwin_fake_input_authenticate(client.fakeInput, "varnet tests", "Pressing hotkeys");
    auto send = [](uint32_t code, uint32_t state) {
        org_kde_kwin_fake_input_keyboard_key(client.fakeInput, code, state);
    };
    if (withControl) send(kLeftControl, WL_KEYBOARD_KEY_STATE_PRESSED);
    send(keycode - kEvdevOffset, WL_KEYBOARD_KEY_STATE_PRESSED);
    send(keycode - kEvdevOffset, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (withControl) send(kLeftControl, WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_roundtrip(client.display);
    org_kde_kwin_fake_input_destroy(client.fakeInput);
    wl_display_roundtrip(client.display);
    return 0;
#else
    (void)keycode, (void)withControl;
    return 1;
#endif
}

bool canFakeInput() {
#ifdef VARNET_TEST_KDE_FAKE_INPUT
    return client.fakeInput != nullptr;
#else
    return false;
#endif
}

int pressKey(const char* combination, int holdMs = 0) {
    if ((!client.keyboardManager && !canFakeInput()) || !client.seat) return 1;
    xkb_keymap* keymap = xkb_keymap_new_from_names(client.xkb, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return 1;
    // "Ctrl+F9": the key is held with Control, sent as the keyboard's modifiers.
    const std::string asked = combination;
    const bool withControl = asked.rfind("Ctrl+", 0) == 0;
    const std::string name = withControl ? asked.substr(5) : asked;
    if (!client.keyboardManager) {
        const xkb_keycode_t keycode = keycodeOf(keymap, xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS));
        xkb_keymap_unref(keymap);
        return keycode ? pressThroughFakeInput(keycode, withControl) : 1;
    }
    const uint32_t control = withControl ? 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL) : 0;
    const xkb_keycode_t found = keycodeOf(keymap, xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS));
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    xkb_keymap_unref(keymap);
    const size_t size = text ? std::strlen(text) + 1 : 0;
    const int fd = text ? sharedMemory(size) : -1;
    const bool written = fd >= 0 && pwrite(fd, text, size, 0) == ssize_t(size);
    std::free(text);
    if (!found || !written) {
        if (fd >= 0) close(fd);
        return 1;
    }
    zwp_virtual_keyboard_v1* keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(client.keyboardManager, client.seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    if (control) zwp_virtual_keyboard_v1_modifiers(keyboard, control, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard, 0, found - 8, WL_KEYBOARD_KEY_STATE_PRESSED);
    if (holdMs > 0) {
        wl_display_roundtrip(client.display);
        usleep(useconds_t(holdMs) * 1000);
    }
    zwp_virtual_keyboard_v1_key(keyboard, 1, found - 8, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (control) zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
    wl_display_roundtrip(client.display);
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(client.display);
    return 0;
}

// ---- Clicking at a point -----------------------------------------------------

// Each output's place and size in the layout, from xdg-output (wlroots puts
// every wl_output at (0, 0)); absolute motion spans the box around them all.
struct Box {
    int32_t x = 0, y = 0, width = 0, height = 0;
};
Box outputBoxes[4];

void logicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    static_cast<Box*>(data)->x = x;
    static_cast<Box*>(data)->y = y;
}
void logicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    static_cast<Box*>(data)->width = width;
    static_cast<Box*>(data)->height = height;
}
void logicalDone(void*, zxdg_output_v1*) {}
const zxdg_output_v1_listener kXdgOutputListener = {.logical_position = logicalPosition,
                                                    .logical_size = logicalSize, .done = logicalDone,
                                                    .name = nullptr, .description = nullptr};

Box layout() {
    for (int i = 0; i < 4; ++i) {
        if (!client.outputs[i]) continue;
        zxdg_output_v1* output = zxdg_output_manager_v1_get_xdg_output(client.outputManager, client.outputs[i]);
        zxdg_output_v1_add_listener(output, &kXdgOutputListener, &outputBoxes[i]);
    }
    wl_display_roundtrip(client.display);
    Box all{INT32_MAX, INT32_MAX, 0, 0};
    int32_t right = INT32_MIN, bottom = INT32_MIN;
    for (const Box& box : outputBoxes) {
        if (box.width <= 0 || box.height <= 0) continue;
        all.x = std::min(all.x, box.x);
        all.y = std::min(all.y, box.y);
        right = std::max(right, box.x + box.width);
        bottom = std::max(bottom, box.y + box.height);
    }
    if (right > all.x && bottom > all.y) all.width = right - all.x, all.height = bottom - all.y;
    return all;
}

int click(int32_t x, int32_t y, bool right) {
    if (!client.pointerManager || !client.seat || !client.outputManager) return 1;
    const Box extent = layout();
    if (extent.width <= 0 || extent.height <= 0) return 1;
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(client.pointerManager, client.seat);
    const uint32_t button = right ? 0x111 : 0x110;
    zwlr_virtual_pointer_v1_motion_absolute(pointer, 0, uint32_t(x - extent.x), uint32_t(y - extent.y),
                                            uint32_t(extent.width), uint32_t(extent.height));
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, 1, button, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, 2, button, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(client.display);
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(client.display);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    client.display = wl_display_connect(nullptr);
    if (!client.display) {
        std::fprintf(stderr, "wayland_client: no compositor to connect to\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(client.display);
    wl_registry_add_listener(registry, &kRegistryListener, nullptr);
    wl_display_roundtrip(client.display);
    if (mode == "log") return logInput();
    if (mode == "press" && argc > 2) return pressKey(argv[2]);
    if (mode == "hold" && argc > 3) return pressKey(argv[2], std::atoi(argv[3]));
    if (mode == "click" && argc > 3)
        return click(std::atoi(argv[2]), std::atoi(argv[3]), argc > 4 && std::string(argv[4]) == "right");
    std::fprintf(stderr, "usage: wayland_client log | press [Ctrl+]KEYSYM-NAME | hold KEYSYM-NAME MS\n"
                         "                      | click X Y [right]\n");
    return 2;
}
