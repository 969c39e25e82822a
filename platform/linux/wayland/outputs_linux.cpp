#include "platform/linux/wayland/outputs_linux.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace platform::wayland_outputs {
namespace {

Output* outputOf(void* data) { return static_cast<Output*>(data); }
void announce(void* data) {
    if (auto changed = outputOf(data)->owner->changed) changed();
}

void onGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                const char*, int32_t) {
    if (outputOf(data)->logical) return;
    outputOf(data)->x = x;
    outputOf(data)->y = y;
}
void onMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT) || outputOf(data)->logical) return;
    outputOf(data)->width = width;
    outputOf(data)->height = height;
}
void onOutputDone(void* data, wl_output*) { announce(data); }
void onScale(void* data, wl_output*, int32_t factor) { outputOf(data)->scale = std::max(factor, 1); }

const wl_output_listener kOutputListener = {
    .geometry = onGeometry, .mode = onMode, .done = onOutputDone, .scale = onScale,
    .name = nullptr, .description = nullptr};

void onLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    outputOf(data)->logical = true;
    outputOf(data)->x = x;
    outputOf(data)->y = y;
}
void onLogicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    outputOf(data)->logical = true;
    outputOf(data)->width = width;
    outputOf(data)->height = height;
}
void onLogicalDone(void* data, zxdg_output_v1*) { announce(data); }

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position = onLogicalPosition, .logical_size = onLogicalSize, .done = onLogicalDone,
    .name = nullptr, .description = nullptr};

void askLogicalPlace(Outputs& outputs, Output& output) {
    if (!outputs.manager || output.xdgOutput || !output.proxy) return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(outputs.manager, output.proxy);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

}  // namespace

bool offer(Outputs& outputs, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        if (!outputs.manager)
            outputs.manager = static_cast<zxdg_output_manager_v1*>(
                wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 1));
        return true;
    }
    if (std::strcmp(interface, wl_output_interface.name) != 0) return false;
    for (Output& output : outputs.list) {
        if (output.proxy) continue;
        output = Output{};
        output.owner = &outputs;
        output.name = name;
        output.proxy = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
        wl_output_add_listener(output.proxy, &kOutputListener, &output);
        askLogicalPlace(outputs, output);
        return true;
    }
    return true;
}

void askLogicalPlaces(Outputs& outputs) {
    for (Output& output : outputs.list) askLogicalPlace(outputs, output);
}

void remove(Outputs& outputs, uint32_t name) {
    for (Output& output : outputs.list) {
        if (!output.proxy || output.name != name) continue;
        if (output.xdgOutput) zxdg_output_v1_destroy(output.xdgOutput);
        wl_output_destroy(output.proxy);
        output = Output{};
    }
    if (outputs.changed) outputs.changed();
}

void release(Outputs& outputs) {
    for (Output& output : outputs.list) {
        if (output.xdgOutput) zxdg_output_v1_destroy(output.xdgOutput);
        if (output.proxy) wl_output_destroy(output.proxy);
        output = Output{};
    }
    if (outputs.manager) zxdg_output_manager_v1_destroy(outputs.manager);
    outputs.manager = nullptr;
}

int32_t logicalWidth(const Output& output) { return output.logical ? output.width : output.width / output.scale; }
int32_t logicalHeight(const Output& output) { return output.logical ? output.height : output.height / output.scale; }

bool layoutBox(const Outputs& outputs, LayoutBox& box) {
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const Output& output : outputs.list) {
        if (!output.proxy || output.width <= 0 || output.height <= 0) continue;
        left = std::min(left, output.x);
        top = std::min(top, output.y);
        right = std::max(right, output.x + logicalWidth(output));
        bottom = std::max(bottom, output.y + logicalHeight(output));
    }
    if (left > right) return false;
    box = LayoutBox{left, top, right - left, bottom - top};
    return true;
}

}  // namespace platform::wayland_outputs
