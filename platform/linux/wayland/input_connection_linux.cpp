#include "platform/linux/wayland/input_connection_linux.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
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
};

Connection connection;
std::atomic<bool> up{false};
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

void onGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (wayland_outputs::offer(connection.outputs, registry, name, interface, version)) return;
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !connection.seat)
        connection.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else
        remember(name, interface, version);
}

// Only an output can go while we run; its share of the layout goes with it.
void onGlobalRemove(void*, wl_registry*, uint32_t name) { wayland_outputs::remove(connection.outputs, name); }

const wl_registry_listener kRegistryListener = {.global = onGlobal, .global_remove = onGlobalRemove};

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
