// Watches every key and button event of an X display through XInput2 raw
// events, as an independent witness of what really reached the server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct ObservedEvent {
    int type = 0;         // XI_RawKeyPress, XI_RawButtonRelease, XI_ButtonPress, ...
    int detail = 0;       // keycode or button (raw: as the device sent it; XI_ButtonPress: mapped)
    bool fromXTest = false;  // sent through XTest by some client
    int64_t at = 0;       // CLOCK_MONOTONIC nanoseconds when it was read
    unsigned long serverTime = 0;  // milliseconds, stamped by the server when it took the event
    int x = 0, y = 0;     // XI_ButtonPress: where on the screen
};

struct RawObserver {
    void* display = nullptr;  // Display*, a connection of its own
    int opcode = 0;
    int xtestPointer = -1, xtestKeyboard = -1;
};

// Connects, announces XInput 2.2 and selects raw key and button events (and
// mapped button presses) of all master devices on the root window.
bool openObserver(RawObserver& observer, const std::string& displayName);
void closeObserver(RawObserver& observer);

// The next key or button event, waiting at most timeoutMs.
bool nextEvent(RawObserver& observer, ObservedEvent& event, int timeoutMs);
// Everything that arrives until quietMs pass without an event (or totalMs end).
std::vector<ObservedEvent> collectUntilQuiet(RawObserver& observer, int quietMs, int totalMs);
// Events of one type from XTest only.
std::vector<ObservedEvent> ofType(const std::vector<ObservedEvent>& events, int type);

int64_t monotonicNs();

}  // namespace e2e
