// The pick surface: an xdg toplevel, full-screen and fully transparent, with
// a crosshair for the pointer while it is over it.
//
// The capture thread owns it, on a connection of its own opened when a pick
// starts and closed when it ends. That thread already wakes on every state
// change (captureThreadWake) and runs the hook logic the presses must reach,
// so the surface follows the pick with no thread to add, and its events are
// handled in the same order as the X11 observer's. The output connection
// (wayland_output_linux.cpp) is not used: its reader thread dispatches every
// event of that connection, and the surface's would then reach the hook
// logic from a second thread.
#include "platform/linux/wayland/pick_linux.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/hook_logic.h"
#include "capture/input_event.h"
#include "capture/picking.h"
#include "model/mouse_buttons.h"
#include "platform/linux/keys/keysym_vk_linux.h"
#include "platform/linux/wayland/outputs_linux.h"
#include "platform/platform.h"
#include "xdg-shell-client-protocol.h"

namespace platform::wayland_pick {
namespace {

const uint32_t kEvdevOffset = 8;  // xkb keycodes are evdev codes + 8
const int32_t kCursorSize = 17, kCursorHotspot = 8;

using wayland_outputs::Output;

struct Picker {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wayland_outputs::Outputs outputs;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    int32_t bufferWidth = 0, bufferHeight = 0;
    int32_t configuredWidth = 0, configuredHeight = 0;
    wl_surface* cursorSurface = nullptr;
    wl_buffer* cursorBuffer = nullptr;
    const Output* entered = nullptr;  // the output the surface is shown on
    double pointerX = 0.0, pointerY = 0.0;  // surface-local
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
};

Picker picker;
// A pick whose surface could not be made goes on through the X11 path
// alone; trying again at every wake of the thread would gain nothing.
bool failedThisPick = false;

// ---- Buffers -----------------------------------------------------------------

// A buffer of zeroed pixels (transparent in ARGB), its memory mapped for
// drawing when pixels is given.
wl_buffer* makeBuffer(int32_t width, int32_t height, uint32_t** pixels) {
    const size_t size = size_t(width) * size_t(height) * 4;
    const int fd = memfd_create("varnet-pick", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    wl_buffer* buffer = nullptr;
    if (ftruncate(fd, off_t(size)) == 0) {
        if (pixels) {
            void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            *pixels = mapped == MAP_FAILED ? nullptr : static_cast<uint32_t*>(mapped);
        }
        wl_shm_pool* pool = wl_shm_create_pool(picker.shm, fd, int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
    }
    close(fd);
    return buffer;
}

// A black cross with a white rim, readable on light and dark screens alike.
void makeCursor() {
    uint32_t* pixels = nullptr;
    picker.cursorBuffer = makeBuffer(kCursorSize, kCursorSize, &pixels);
    if (!picker.cursorBuffer || !pixels) return;
    for (int32_t y = 0; y < kCursorSize; ++y) {
        for (int32_t x = 0; x < kCursorSize; ++x) {
            const int32_t fromLine = std::min(std::abs(x - kCursorHotspot), std::abs(y - kCursorHotspot));
            if (fromLine == 0) pixels[y * kCursorSize + x] = 0xff000000;
            else if (fromLine == 1) pixels[y * kCursorSize + x] = 0xffffffff;
        }
    }
    munmap(pixels, size_t(kCursorSize) * kCursorSize * 4);
    picker.cursorSurface = wl_compositor_create_surface(picker.compositor);
    wl_surface_attach(picker.cursorSurface, picker.cursorBuffer, 0, 0);
    wl_surface_damage(picker.cursorSurface, 0, 0, kCursorSize, kCursorSize);
    wl_surface_commit(picker.cursorSurface);
}

// ---- Where a press is on the screen ------------------------------------------

const Output* firstOutput() {
    for (const Output& output : picker.outputs.list)
        if (output.proxy) return &output;
    return nullptr;
}

const Output* shownOn() { return picker.entered ? picker.entered : firstOutput(); }

// Surface-local positions of a full-screen surface are the output's logical
// ones; the output's place in the layout makes them the screen's.
void screenPosition(int32_t& x, int32_t& y) {
    const Output* output = shownOn();
    x = int32_t(std::floor(picker.pointerX)) + (output ? output->x : 0);
    y = int32_t(std::floor(picker.pointerY)) + (output ? output->y : 0);
}

// Linux input event codes, as Wayland reports buttons; 0 for others.
int32_t buttonCodeOf(uint32_t evdev) {
    switch (evdev) {
    case 0x110: return button_code::Left;
    case 0x111: return button_code::Right;
    case 0x112: return button_code::Middle;
    case 0x113: return button_code::Side1;
    case 0x114: return button_code::Side2;
    default: return 0;
    }
}

InputEvent eventOf(InputEvent::Kind kind) {
    InputEvent e;
    e.kind = kind;
    e.counter = platform::perfCounter();
    return e;
}

// ---- Pointer -------------------------------------------------------------------

void pointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
    picker.pointerX = wl_fixed_to_double(x);
    picker.pointerY = wl_fixed_to_double(y);
    if (picker.cursorSurface)
        wl_pointer_set_cursor(pointer, serial, picker.cursorSurface, kCursorHotspot, kCursorHotspot);
}
void pointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void pointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    picker.pointerX = wl_fixed_to_double(x);
    picker.pointerY = wl_fixed_to_double(y);
    InputEvent move = eventOf(InputEvent::PointerMove);
    screenPosition(move.x, move.y);
    handleMouseInput(move);
}
void pointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    InputEvent e = eventOf(InputEvent::Button);
    e.code = buttonCodeOf(button);
    if (e.code == 0) return;
    e.down = state == WL_POINTER_BUTTON_STATE_PRESSED;
    screenPosition(e.x, e.y);
    handleMouseInput(e);
}
void pointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    .enter = pointerEnter, .leave = pointerLeave, .motion = pointerMotion, .button = pointerButton,
    .axis = pointerAxis, .frame = pointerFrame, .axis_source = pointerAxisSource,
    .axis_stop = pointerAxisStop, .axis_discrete = pointerAxisDiscrete, .axis_value120 = nullptr};

// ---- Keyboard ------------------------------------------------------------------

void keyboardKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    const bool xkb = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1;
    void* text = xkb ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) return;
    if (picker.keymap) xkb_keymap_unref(picker.keymap);
    picker.keymap = xkb_keymap_new_from_string(picker.xkb, static_cast<const char*>(text),
                                               XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
}

// A key's first level, as the X11 observer's keycode table reads keys.
void keyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (!picker.keymap) return;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(picker.keymap, key + kEvdevOffset, 0, 0, &syms) < 1) return;
    InputEvent e = eventOf(InputEvent::Key);
    e.code = virtualKeyForKeysym(syms[0]);
    if (e.code == 0) return;
    e.down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    handleKeyboardInput(e);
}
void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void keyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void keyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {
    .keymap = keyboardKeymap, .enter = keyboardEnter, .leave = keyboardLeave, .key = keyboardKey,
    .modifiers = keyboardModifiers, .repeat_info = keyboardRepeat};

// ---- Seat and globals ------------------------------------------------------------

void seatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !picker.pointer) {
        picker.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(picker.pointer, &kPointerListener, nullptr);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !picker.keyboard) {
        picker.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(picker.keyboard, &kKeyboardListener, nullptr);
    }
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {.capabilities = seatCapabilities, .name = seatName};

void wmPing(void*, xdg_wm_base* wmBase, uint32_t serial) { xdg_wm_base_pong(wmBase, serial); }
const xdg_wm_base_listener kWmBaseListener = {.ping = wmPing};

template <typename Proxy>
Proxy* bind(uint32_t name, const wl_interface* interface, uint32_t version) {
    return static_cast<Proxy*>(wl_registry_bind(picker.registry, name, interface, version));
}

void onGlobal(void*, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !picker.compositor) {
        picker.compositor = bind<wl_compositor>(name, &wl_compositor_interface, 1);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !picker.shm) {
        picker.shm = bind<wl_shm>(name, &wl_shm_interface, 1);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && !picker.wmBase) {
        picker.wmBase = bind<xdg_wm_base>(name, &xdg_wm_base_interface, 1);
        xdg_wm_base_add_listener(picker.wmBase, &kWmBaseListener, nullptr);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !picker.seat) {
        picker.seat = bind<wl_seat>(name, &wl_seat_interface, std::min(version, 5u));
        wl_seat_add_listener(picker.seat, &kSeatListener, nullptr);
    } else {
        wayland_outputs::offer(picker.outputs, picker.registry, name, interface, version);
    }
}
// A pick lasts seconds; an output that goes meanwhile keeps its place.
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {.global = onGlobal, .global_remove = onGlobalRemove};

// ---- The surface -------------------------------------------------------------------

void surfaceEnter(void*, wl_surface*, wl_output* proxy) {
    for (const Output& output : picker.outputs.list)
        if (output.proxy == proxy) picker.entered = &output;
}
void surfaceLeave(void*, wl_surface*, wl_output*) {}
const wl_surface_listener kSurfaceListener = {.enter = surfaceEnter, .leave = surfaceLeave};

void toplevelConfigure(void*, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    picker.configuredWidth = width;
    picker.configuredHeight = height;
}
// The desktop closed the surface (a close binding, a kill): the pick ends without a point.
void toplevelClose(void*, xdg_toplevel*) { cancelPick(); }
const xdg_toplevel_listener kToplevelListener = {
    .configure = toplevelConfigure, .close = toplevelClose, .configure_bounds = nullptr,
    .wm_capabilities = nullptr};

// A size of 0 leaves it to us: then the output's size.
void chooseSize(int32_t& width, int32_t& height) {
    width = picker.configuredWidth;
    height = picker.configuredHeight;
    const Output* output = shownOn();
    if (width <= 0 && output) width = wayland_outputs::logicalWidth(*output);
    if (height <= 0 && output) height = wayland_outputs::logicalHeight(*output);
}

void surfaceConfigure(void*, xdg_surface* xdgSurface, uint32_t serial) {
    xdg_surface_ack_configure(xdgSurface, serial);
    int32_t width = 0, height = 0;
    chooseSize(width, height);
    if (width <= 0 || height <= 0) return;
    if (!picker.buffer || width != picker.bufferWidth || height != picker.bufferHeight) {
        if (picker.buffer) wl_buffer_destroy(picker.buffer);
        picker.buffer = makeBuffer(width, height, nullptr);
        picker.bufferWidth = width;
        picker.bufferHeight = height;
        if (!picker.buffer) return;
        wl_surface_attach(picker.surface, picker.buffer, 0, 0);
        wl_surface_damage(picker.surface, 0, 0, width, height);
    }
    wl_surface_commit(picker.surface);
}
const xdg_surface_listener kXdgSurfaceListener = {.configure = surfaceConfigure};

// Full-screen on the output the compositor chooses: with no global pointer
// position to go by, that is the one with the focus, where the person works.
void showSurface() {
    picker.surface = wl_compositor_create_surface(picker.compositor);
    wl_surface_add_listener(picker.surface, &kSurfaceListener, nullptr);
    picker.xdgSurface = xdg_wm_base_get_xdg_surface(picker.wmBase, picker.surface);
    xdg_surface_add_listener(picker.xdgSurface, &kXdgSurfaceListener, nullptr);
    picker.toplevel = xdg_surface_get_toplevel(picker.xdgSurface);
    xdg_toplevel_add_listener(picker.toplevel, &kToplevelListener, nullptr);
    xdg_toplevel_set_title(picker.toplevel, "Pick a point");
    xdg_toplevel_set_app_id(picker.toplevel, "varnet-pick");
    xdg_toplevel_set_fullscreen(picker.toplevel, nullptr);
    wl_surface_commit(picker.surface);
    makeCursor();
}

// ---- Connection ------------------------------------------------------------------

template <typename Proxy>
void destroy(Proxy*& proxy, void (*destroyer)(Proxy*)) {
    if (proxy) destroyer(proxy);
    proxy = nullptr;
}

void closeConnection() {
    if (!picker.display) return;
    destroy(picker.toplevel, xdg_toplevel_destroy);
    destroy(picker.xdgSurface, xdg_surface_destroy);
    destroy(picker.surface, wl_surface_destroy);
    destroy(picker.buffer, wl_buffer_destroy);
    destroy(picker.cursorSurface, wl_surface_destroy);
    destroy(picker.cursorBuffer, wl_buffer_destroy);
    destroy(picker.pointer, wl_pointer_destroy);
    destroy(picker.keyboard, wl_keyboard_destroy);
    destroy(picker.seat, wl_seat_destroy);
    destroy(picker.wmBase, xdg_wm_base_destroy);
    destroy(picker.shm, wl_shm_destroy);
    destroy(picker.compositor, wl_compositor_destroy);
    wayland_outputs::release(picker.outputs);
    destroy(picker.registry, wl_registry_destroy);
    wl_display_flush(picker.display);  // the surface goes at once, not at the next pick
    wl_display_disconnect(picker.display);
    if (picker.keymap) xkb_keymap_unref(picker.keymap);
    if (picker.xkb) xkb_context_unref(picker.xkb);
    picker = Picker{};
}

bool openConnection() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return false;
    picker.display = wl_display_connect(nullptr);
    if (!picker.display) return false;
    picker.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    picker.registry = wl_display_get_registry(picker.display);
    wl_registry_add_listener(picker.registry, &kRegistryListener, nullptr);
    // The globals, then the outputs' places and the seat's devices.
    const bool globals = wl_display_roundtrip(picker.display) >= 0;
    if (globals) wayland_outputs::askLogicalPlaces(picker.outputs);
    if (!globals || !picker.compositor || !picker.shm || !picker.wmBase || !picker.seat || !picker.xkb ||
        wl_display_roundtrip(picker.display) < 0) {
        std::fprintf(stderr, "varnet: the compositor offers no surface to pick a point on; "
                             "only X11 windows take the pick\n");
        closeConnection();
        return false;
    }
    showSurface();
    wl_display_flush(picker.display);
    return true;
}

}  // namespace

int follow(bool picking) {
    if (!picking) {
        failedThisPick = false;
        closeConnection();
        return -1;
    }
    if (!picker.display && !failedThisPick) failedThisPick = !openConnection();
    if (!picker.display) return -1;
    // Every event read is handled at once (dispatch, the round trips of
    // openConnection), so none waits unseen by the sleep; requests go out.
    wl_display_flush(picker.display);
    return wl_display_get_fd(picker.display);
}

void dispatch() {
    if (!picker.display) return;
    if (wl_display_dispatch(picker.display) < 0) {
        std::fprintf(stderr, "varnet: the compositor closed the picking surface's connection\n");
        closeConnection();
        failedThisPick = true;
    }
}

}  // namespace platform::wayland_pick
