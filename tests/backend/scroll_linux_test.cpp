// Wheel deltas from what an X server with smooth scrolling sends: a device
// with scroll classes (as Xorg's libinput driver sets them up), smooth
// valuator motion, and the buttons 4/5 the server makes up from it.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include "platform/linux/x11/scroll_linux.h"

#include <vector>

namespace {

// Valuators 0/1 move the pointer, 2 scrolls horizontally, 3 vertically.
XIDeviceInfo touchpadWithScrollClasses(XIScrollClassInfo (&scrolls)[2], XIAnyClassInfo* (&classes)[2]) {
    scrolls[0] = {XIScrollClass, 12, 2, XIScrollTypeHorizontal, 15.0, 0};
    scrolls[1] = {XIScrollClass, 12, 3, XIScrollTypeVertical, 15.0, 0};
    classes[0] = reinterpret_cast<XIAnyClassInfo*>(&scrolls[0]);
    classes[1] = reinterpret_cast<XIAnyClassInfo*>(&scrolls[1]);
    XIDeviceInfo device{};
    device.deviceid = 12;
    device.classes = classes;
    device.num_classes = 2;
    return device;
}

struct RawMotion {
    unsigned char mask[1] = {};
    std::vector<double> values;
    XIRawEvent event{};
    RawMotion(std::initializer_list<std::pair<int, double>> axes, int flags = 0) {
        for (auto [axis, value] : axes) {
            XISetMask(mask, axis);
            values.push_back(value);
        }
        event.valuators.mask_len = 1;
        event.valuators.mask = mask;
        event.raw_values = values.data();
        event.flags = flags;
    }
};

}  // namespace

TEST(SmoothScrolling, ValuatorMotionBecomesWheelDeltasCountedOnce) {
    XIScrollClassInfo scrolls[2];
    XIAnyClassInfo* classes[2];
    const XIDeviceInfo touchpad = touchpadWithScrollClasses(scrolls, classes);
    struct Case {
        const char* what;
        std::initializer_list<std::pair<int, double>> axes;
        int flags;
        int32_t expected;
    };
    // Run in order on one axis: fractions carry from one row to the next.
    const Case cases[] = {
        {"one notch down", {{3, 15.0}}, 0, -120},
        {"one notch up, with pointer motion beside it", {{0, 4.0}, {1, -2.0}, {3, -15.0}}, 0, 120},
        {"a third of a notch waits", {{3, -5.0}}, 0, 40},
        {"half a unit of delta is carried", {{3, -0.0625}}, 0, 0},
        {"and completes with the next", {{3, -0.0625}}, 0, 1},
        {"horizontal scrolling records nothing", {{2, 30.0}}, 0, 0},
        {"pointer motion alone is no scroll", {{0, 3.0}, {1, 3.0}}, 0, 0},
        {"motion the server made up is not counted again", {{3, 15.0}}, XIPointerEmulated, 0},
        {"a hostile value is capped at a thousand notches", {{3, -1e12}}, 0, 120000},
    };
    ScrollAxis axis = scrollAxisOf(touchpad);
    ASSERT_EQ(axis.number, 3);
    for (const Case& c : cases) {
        RawMotion motion(c.axes, c.flags);
        EXPECT_EQ(wheelDeltaOfRawMotion(axis, motion.event), c.expected) << c.what;
    }
}

TEST(SmoothScrolling, PlainButtonsCountUnlessTheServerMadeThemUp) {
    struct Case {
        int button;
        bool down;
        int flags;
        int32_t expected;
    };
    const Case cases[] = {
        {4, true, 0, 120},  {5, true, 0, -120}, {4, false, 0, 0},
        {5, true, XIPointerEmulated, 0}, {1, true, 0, 0}, {6, true, 0, 0},
    };
    for (const Case& c : cases) {
        XIRawEvent raw{};
        raw.detail = c.button;
        raw.flags = c.flags;
        EXPECT_EQ(wheelDeltaOfRawButton(raw, c.down), c.expected) << "button " << c.button;
    }
    XIDeviceInfo mouse{};  // no scroll class: its buttons are the wheel
    EXPECT_EQ(scrollAxisOf(mouse).number, -1);
}
