// The compositor's outputs as a client of it sees them: each one's place in
// the layout and its logical size. wlroots gives every wl_output the place
// (0, 0); the true place comes from xdg-output wherever the compositor
// offers it, and the output's mode and scale only where it does not.
#pragma once

#include <wayland-client.h>

#include <array>
#include <cstdint>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace platform::wayland_outputs {

inline constexpr int kMaxOutputs = 8;

struct Outputs;

struct Output {
    Outputs* owner = nullptr;
    wl_output* proxy = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    uint32_t name = 0;  // in the registry
    int32_t x = 0, y = 0;
    int32_t width = 0, height = 0;  // logical once `logical`, else the mode's pixels
    int32_t scale = 1;
    bool logical = false;  // place and size came from xdg-output
};

struct Outputs {
    std::array<Output, kMaxOutputs> list;
    zxdg_output_manager_v1* manager = nullptr;
    // Called on the connection's dispatching thread once an output's
    // description is complete; may be null.
    void (*changed)() = nullptr;
};

struct LayoutBox {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// From a registry listener's global event: binds an output or the
// xdg-output manager; false when the global is neither.
bool offer(Outputs& outputs, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
// After the first roundtrip, when every global is known whichever came first:
// asks xdg-output for the places. An output added later asks by itself.
void askLogicalPlaces(Outputs& outputs);
// From the global_remove event: an output that goes leaves the layout.
void remove(Outputs& outputs, uint32_t name);
void release(Outputs& outputs);

int32_t logicalWidth(const Output& output);
int32_t logicalHeight(const Output& output);
// The bounding box of every output; false while none is known.
bool layoutBox(const Outputs& outputs, LayoutBox& box);

}  // namespace platform::wayland_outputs
