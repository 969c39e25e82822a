// Wheels and touchpads on X servers with smooth scrolling (XInput 2.1): a
// device with a scroll class reports its wheel as motion of a scroll
// valuator, and the server makes buttons 4 and 5 up from it for older
// clients, flagging those as emulated. Devices without a scroll class (Xvfb's,
// old drivers) send plain buttons 4 and 5. This turns either into wheel
// deltas as a Windows hook reports them: 120 a notch, positive away from the
// user, each turn counted once.
#pragma once

#include <X11/extensions/XInput2.h>

#include <cstdint>

struct ScrollAxis {
    int number = -1;          // the vertical scroll valuator, -1 when the device has none
    double increment = 0.0;   // valuator units of one notch
    double pendingDelta = 0.0;  // a fraction of a whole delta not yet reported
};

// The device's vertical scroll valuator (horizontal scrolling is not recorded).
ScrollAxis scrollAxisOf(const XIDeviceInfo& device);

// The whole wheel delta that a raw motion brings on the device's vertical
// scroll valuator (0 for none, for emulated motion, or while a fraction
// builds up). Fractions are carried over in the axis.
int32_t wheelDeltaOfRawMotion(ScrollAxis& axis, const XIRawEvent& raw);

// The wheel delta of a raw button event: 120 or -120 for a real press of
// button 4 or 5, 0 for anything else (releases, other buttons, and presses
// the server made up from a scroll valuator, which were counted as motion).
int32_t wheelDeltaOfRawButton(const XIRawEvent& raw, bool down);
