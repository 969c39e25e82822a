// One observed input event, as every backend reports it to the hook logic.
#pragma once

#include <cstdint>

struct InputEvent {
    enum Kind : int32_t { Key, PointerMove, Button, Wheel, RawMotion };
    Kind kind = Key;
    bool injected = false;  // produced by a synthetic-input service (ours or anyone's)
    bool down = false;      // Key and Button: a press (true) or a release
    int32_t code = 0;       // Key: virtual-key code; Button: 1 left, 2 right, 4 middle, 5 and 6 side
    uint32_t scan = 0;      // Key: MacroEvent::scan, where the backend knows scan codes
    int32_t x = 0, y = 0;   // PointerMove and Button: pointer position; RawMotion: dx, dy
    int32_t delta = 0;      // Wheel: signed delta, 120 a notch, positive away from the user
    bool absolute = false;  // RawMotion: the device reports positions, not motion
    int64_t counter = 0;    // perfCounter() when the event was seen
};
