// The connection the program sends input to a Wayland compositor on, shared
// by the devices made on it (wlroots' virtual pointer and keyboard, KDE's
// fake input): the registry's globals, the outputs' layout (the extent of
// absolute motion), and a reader thread that takes the compositor's few
// events (outputs coming and going) so they never pile up unread.
// libwayland-client marshals requests from any thread, so every engine thread
// may send on it.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <string>

namespace platform::wayland_input {

// Connects (when WAYLAND_DISPLAY is set) and learns the globals and outputs;
// false without a compositor. Called once, before any device is made.
bool connect();
// Once the devices are made: waits for the compositor to take them (false
// when it refused them) and starts reading its events.
bool startReading();
// Gives up the connection when no device could be made on it.
void disconnect();
// Whether the connection is up: false before connect and once the
// compositor closed it.
bool connected();

wl_display* display();
wl_registry* registry();
wl_seat* seat();
// A global the compositor offers, by its interface's name; false when it
// offers none.
bool findGlobal(const char* interface, uint32_t& name, uint32_t& version);
// Sends what was asked so far.
void flush();
// The keymap the compositor gave the program's own keyboard last (the
// person's layout) as text, empty when none came; `generation` tells which
// one it is. A layout switched on the compositor while we run comes as a new
// keymap, and a new generation.
std::string seatKeymap(uint32_t& generation);
uint32_t seatKeymapGeneration();

// A point of the layout (the coordinates X11 programs on XWayland see)
// clamped into it, relative to its top-left corner; false while the layout
// is unknown.
bool pointInLayout(int32_t x, int32_t y, int32_t& inX, int32_t& inY, int32_t& width, int32_t& height);
// 0..65535 over the whole layout, as the stored records carry it, as a
// point of the layout.
void normalisedToLayout(int32_t x, int32_t y, int32_t& layoutX, int32_t& layoutY);
int32_t layoutLeft();
int32_t layoutTop();

// Milliseconds for the protocols' event times.
uint32_t nowMs();

}  // namespace platform::wayland_input
