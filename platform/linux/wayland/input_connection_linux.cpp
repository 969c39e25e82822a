#include "platform/linux/wayland/input_connection_linux.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/linux/wayland/outputs_linux.h"

namespace platform::wayland_input {
namespace {

const int kMaxGlobals = 64;

struct Global {
    uint32_t name = 0, version = 0;
    char interface[64] = {};
};

struct Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    Global globals[kMaxGlobals];
    int globalCount = 0;
    wayland_outputs::Outputs outputs;
    uint32_t seatCapabilities = 0;
    wl_keyboard* keyboard = nullptr;
    std::string keymap;
};

Connection connection;
std::atomic<bool> up{false};
// The keymap is replaced on the reader thread while engine threads may read it.
std::mutex keymapLock;
std::atomic<uint32_t> keymapGeneration{0};
// The layout's bounding box, from the outputs' places and sizes.
std::atomic<int32_t> left{0}, top{0}, width{0}, height{0};

// Called on the reader thread as outputs come, change and go.
void updateLayout() {
    wayland_outputs::LayoutBox box;
    if (!wayland_outputs::layoutBox(connection.outputs, box)) return;
    left = box.left;
    top = box.top;
    width = box.width;
    height = box.height;
}

void remember(uint32_t name, const char* interface, uint32_t version) {
    if (connection.globalCount == kMaxGlobals || std::strlen(interface) >= sizeof(Global::interface)) return;
    Global& global = connection.globals[connection.globalCount++];
    global.name = name;
    global.version = version;
    std::strcpy(global.interface, interface);
}

void listenToKeyboard();

// A seat may gain its keyboard only once we run (a headless compositor's
// first keyboard is a virtual one): our own is taken as soon as there is one.
// Asking a seat without a keyboard for one is an error that ends the connection.
void onCapabilities(void*, wl_seat*, uint32_t capabilities) {
    connection.seatCapabilities = capabilities;
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && connection.seat && !connection.keyboard) listenToKeyboard();
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {.capabilities = onCapabilities, .name = onSeatName};

void onGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (wayland_outputs::offer(connection.outputs, registry, name, interface, version)) return;
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !connection.seat) {
        connection.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(connection.seat, &kSeatListener, nullptr);
    } else
        remember(name, interface, version);
}

// Only an output can go while we run; its share of the layout goes with it.
void onGlobalRemove(void*, wl_registry*, uint32_t name) { wayland_outputs::remove(connection.outputs, name); }

const wl_registry_listener kRegistryListener = {.global = onGlobal, .global_remove = onGlobalRemove};

void onKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 1) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            std::string keymap(static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size));
            munmap(text, size);
            // The compositor sends the keymap again whenever another keyboard
            // types; only a different one is news.
            std::lock_guard<std::mutex> lock(keymapLock);
            if (keymap != connection.keymap) {
                connection.keymap = std::move(keymap);
                keymapGeneration.fetch_add(1, std::memory_order_release);
            }
        }
    }
    close(fd);
}
void onEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void onLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void onKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

// The program's own keyboard hears of no key (its surfaces are on XWayland);
// it is there for the keymap.
const wl_keyboard_listener kKeyboardListener = {
    .keymap = onKeymap, .enter = onEnter, .leave = onLeave, .key = onKey, .modifiers = onModifiers,
    .repeat_info = onRepeatInfo};

void listenToKeyboard() {
    connection.keyboard = wl_seat_get_keyboard(connection.seat);
    wl_keyboard_add_listener(connection.keyboard, &kKeyboardListener, nullptr);
}

void readEvents() {
    while (wl_display_dispatch(connection.display) != -1) {
    }
    up = false;
    std::fprintf(stderr, "varnet: the Wayland compositor closed the input connection: %s\n",
                 std::strerror(wl_display_get_error(connection.display)));
}

}  // namespace

bool connect() {
    connection.display = wl_display_connect(nullptr);
    if (!connection.display) return false;
    connection.outputs.changed = updateLayout;
    connection.registry = wl_display_get_registry(connection.display);
    wl_registry_add_listener(connection.registry, &kRegistryListener, nullptr);
    wl_display_roundtrip(connection.display);
    wayland_outputs::askLogicalPlaces(connection.outputs);
    // The seat's capabilities, then the keymap of the keyboard they may bring.
    wl_display_roundtrip(connection.display);
    if (connection.keyboard) wl_display_roundtrip(connection.display);
    return true;
}

bool startReading() {
    // The outputs' modes, and any refusal of the devices, arrive by now.
    if (wl_display_roundtrip(connection.display) < 0) return false;
    up = true;
    std::thread(readEvents).detach();
    return true;
}

void disconnect() {
    if (connection.display) wl_display_disconnect(connection.display);
    connection = Connection{};
}

bool connected() { return up.load(std::memory_order_relaxed); }

wl_display* display() { return connection.display; }
wl_registry* registry() { return connection.registry; }
wl_seat* seat() { return connection.seat; }

bool findGlobal(const char* interface, uint32_t& name, uint32_t& version) {
    for (int i = 0; i < connection.globalCount; ++i) {
        const Global& global = connection.globals[i];
        if (std::strcmp(global.interface, interface) != 0) continue;
        name = global.name;
        version = global.version;
        return true;
    }
    return false;
}

void flush() { wl_display_flush(connection.display); }

std::string seatKeymap(uint32_t& generation) {
    std::lock_guard<std::mutex> lock(keymapLock);
    generation = keymapGeneration.load(std::memory_order_relaxed);
    return connection.keymap;
}

uint32_t seatKeymapGeneration() { return keymapGeneration.load(std::memory_order_acquire); }

bool pointInLayout(int32_t x, int32_t y, int32_t& inX, int32_t& inY, int32_t& layoutWidth, int32_t& layoutHeight) {
    layoutWidth = width;
    layoutHeight = height;
    if (layoutWidth <= 0 || layoutHeight <= 0) return false;
    inX = std::clamp(x - left.load(), 0, layoutWidth - 1);
    inY = std::clamp(y - top.load(), 0, layoutHeight - 1);
    return true;
}

void normalisedToLayout(int32_t x, int32_t y, int32_t& layoutX, int32_t& layoutY) {
    layoutX = left + int32_t(int64_t(x) * width / 65536);
    layoutY = top + int32_t(int64_t(y) * height / 65536);
}

int32_t layoutLeft() { return left; }
int32_t layoutTop() { return top; }

uint32_t nowMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace platform::wayland_input
