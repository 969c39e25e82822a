// The Linux input backend on a real X server: what each record becomes, as an
// XInput2 observer sees it.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <thread>

#include "model/mouse_buttons.h"
#include "model/mouse_flags.h"
#include "platform/linux/output_route_linux.h"
#include "platform/linux/x11/xtest_output_linux.h"
#include "platform/platform.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/raw_observer.h"

namespace {

namespace mf = mouse_flags;

// One X server for the whole process: the backend keeps one connection for life.
class LinuxInput : public ::testing::Test {
protected:
    static e2e::XServer x;
    static e2e::RawObserver observer;

    static void SetUpTestSuite() {
        x = e2e::startXServer();
        setenv("DISPLAY", x.display.c_str(), 1);
        ASSERT_TRUE(e2e::openObserver(observer, x.display));
    }
    static void TearDownTestSuite() {
        e2e::closeObserver(observer);
        e2e::stopXServer(x);
    }
    void SetUp() override { e2e::collectUntilQuiet(observer, 50, 1000); }

    static Display* display() { return static_cast<Display*>(observer.display); }
    static std::vector<e2e::ObservedEvent> seen() { return e2e::collectUntilQuiet(observer, 500, 5000); }
    static std::vector<int> details(const std::vector<e2e::ObservedEvent>& events, int type) {
        std::vector<int> out;
        for (const auto& e : e2e::ofType(events, type)) out.push_back(e.detail);
        return out;
    }
    // What the keycode types at its first level, asked of the server now.
    static KeySym firstLevelKeysym(int keycode) {
        int perKeycode = 0;
        KeySym* syms = XGetKeyboardMapping(display(), KeyCode(keycode), 1, &perKeycode);
        KeySym keysym = syms ? syms[0] : NoSymbol;
        if (syms) XFree(syms);
        return keysym;
    }
    static void pressAndRelease(uint32_t vk) {
        EXPECT_EQ(platform::sendKeyEvent(vk, true), 1u);
        EXPECT_EQ(platform::sendKeyEvent(vk, false), 1u);
    }
};

e2e::XServer LinuxInput::x;
e2e::RawObserver LinuxInput::observer;

}  // namespace

TEST_F(LinuxInput, ButtonRecordsPressTheirButtons) {
    for (uint32_t flags : {mf::LeftDown, mf::LeftUp, mf::RightDown, mf::RightUp, mf::MiddleDown, mf::MiddleUp})
        platform::sendMouseInput(0, 0, 0, flags);
    auto events = seen();
    EXPECT_EQ(details(events, XI_RawButtonPress), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(details(events, XI_RawButtonRelease), (std::vector<int>{1, 3, 2}));
}

// A right click after it shows the observer was watching: only that click is seen.
TEST_F(LinuxInput, ARecordWithoutFlagsSendsNothing) {
    int32_t x = 0, y = 0, xAfter = 0, yAfter = 0;
    ASSERT_TRUE(platform::cursorPosition(x, y));
    platform::sendMouseInput(5, 5, 0, 0);
    ASSERT_TRUE(platform::cursorPosition(xAfter, yAfter));
    EXPECT_EQ(std::make_pair(xAfter, yAfter), std::make_pair(x, y));
    platform::sendMouseInput(0, 0, 0, mf::RightDown);
    platform::sendMouseInput(0, 0, 0, mf::RightUp);
    const auto events = seen();
    EXPECT_EQ(details(events, XI_RawButtonPress), (std::vector<int>{3}));
    for (const e2e::ObservedEvent& e : events) EXPECT_EQ(e.detail, 3) << "event of type " << e.type;
}

TEST_F(LinuxInput, LeftStaysLeftForALeftHandedPointerMap) {
    unsigned char map[64];
    int count = XGetPointerMapping(display(), map, 64);
    ASSERT_GE(count, 3);
    unsigned char swapped[64];
    std::copy(map, map + count, swapped);
    std::swap(swapped[0], swapped[2]);
    ASSERT_EQ(XSetPointerMapping(display(), swapped, count), MappingSuccess);
    XSync(display(), False);
    // The backend looks for a changed map at most every 50 ms: left clicks
    // go until one arrives from the third button, or the wait runs out.
    std::vector<e2e::ObservedEvent> events;
    for (int64_t deadline = platform::perfCounter() + 5 * platform::perfCounterFrequency();
         details(events, XI_RawButtonPress) != std::vector<int>{3} && platform::perfCounter() < deadline;) {
        platform::sendMouseInput(0, 0, 0, mf::LeftDown);
        platform::sendMouseInput(0, 0, 0, mf::LeftUp);
        events = e2e::collectUntilQuiet(observer, 50, 1000);
    }
    XSetPointerMapping(display(), map, count);
    XSync(display(), False);
    // The device sends its third button, which the map makes the left one.
    EXPECT_EQ(details(events, XI_RawButtonPress), (std::vector<int>{3}));
    EXPECT_EQ(details(events, XI_ButtonPress), (std::vector<int>{1}));
}

TEST_F(LinuxInput, WheelTurnsAreNotchesOfButtonsFourAndFive) {
    platform::sendMouseInput(0, 0, 240, mf::Wheel);
    platform::sendMouseInput(0, 0, uint32_t(-120), mf::Wheel);
    platform::sendMouseInput(0, 0, 60, mf::Wheel);
    platform::sendMouseInput(0, 0, 60, mf::Wheel);  // two halves make one notch
    auto events = seen();
    EXPECT_EQ(details(events, XI_RawButtonPress), (std::vector<int>{4, 4, 5, 4}));
    EXPECT_EQ(details(events, XI_RawButtonRelease), (std::vector<int>{4, 4, 5, 4}));
}

TEST_F(LinuxInput, SideButtonsAreEightAndNine) {
    platform::sendMouseInput(0, 0, 1, mf::XDown);
    platform::sendMouseInput(0, 0, 1, mf::XUp);
    platform::sendMouseInput(0, 0, 2, mf::XDown);
    platform::sendMouseInput(0, 0, 2, mf::XUp);
    auto events = seen();
    EXPECT_EQ(details(events, XI_RawButtonPress), (std::vector<int>{8, 9}));
    EXPECT_EQ(details(events, XI_RawButtonRelease), (std::vector<int>{8, 9}));
}

TEST_F(LinuxInput, MovesGoToRootPixels) {
    platform::moveCursorAbsolute(100, 200);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(platform::cursorPosition(x, y));
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 200);
    platform::sendMouseInput(10, -5, 0, mf::Move);
    ASSERT_TRUE(platform::cursorPosition(x, y));
    EXPECT_EQ(x, 110);
    EXPECT_EQ(y, 195);
    platform::sendMouseInput(32768, 16384, 0, mf::Move | mf::AbsolutePosition);
    ASSERT_TRUE(platform::cursorPosition(x, y));
    EXPECT_EQ(x, 640);  // half of 1280
    EXPECT_EQ(y, 256);  // a quarter of 1024
}

TEST_F(LinuxInput, LettersAndExtendedKeysArriveAsTheirKeys) {
    pressAndRelease('A');
    pressAndRelease(0x25);  // Left arrow
    pressAndRelease(0xC0);  // grave accent
    auto presses = details(seen(), XI_RawKeyPress);
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(firstLevelKeysym(presses[0]), KeySym(XK_a));
    EXPECT_EQ(firstLevelKeysym(presses[1]), KeySym(XK_Left));
    EXPECT_EQ(firstLevelKeysym(presses[2]), KeySym(XK_grave));
}

TEST_F(LinuxInput, NumPadDigitsArriveAsDigitsWithoutNumLock) {
    pressAndRelease(0x65);  // numeric-pad 5, only a second level of its key in the layout
    pressAndRelease(0x60);
    auto presses = details(seen(), XI_RawKeyPress);
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(firstLevelKeysym(presses[0]), KeySym(XK_KP_5));
    EXPECT_EQ(firstLevelKeysym(presses[1]), KeySym(XK_KP_0));
}

TEST_F(LinuxInput, KeysTheLayoutLacksGetASpareKeycode) {
    pressAndRelease(0x2B);  // Execute
    pressAndRelease(0x87);  // F24
    pressAndRelease(0x2B);
    auto presses = details(seen(), XI_RawKeyPress);
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(firstLevelKeysym(presses[0]), KeySym(XK_Execute));
    EXPECT_EQ(firstLevelKeysym(presses[1]), KeySym(XK_F24));
    EXPECT_EQ(presses[2], presses[0]);  // the lent keycode is kept for its key
    platform::xtest_output::returnLentKeycodes();     // as the program does when it ends
    EXPECT_EQ(firstLevelKeysym(presses[0]), KeySym(NoSymbol));
    EXPECT_EQ(firstLevelKeysym(presses[1]), KeySym(NoSymbol));
    pressAndRelease(0x2B);  // lent again when needed again
    auto again = details(seen(), XI_RawKeyPress);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(firstLevelKeysym(again[0]), KeySym(XK_Execute));
}

// The desktop's grant may come or end between a press and its release (the
// person answers the dialog, or stops sharing). The release goes the way the
// press went, or nowhere when that way has ended and let go of what it held.
TEST_F(LinuxInput, AReleaseGoesTheWayItsPressWentWhenTheGrantFlips) {
    struct Case {
        const char* what;
        bool grantedAtPress, grantedAtRelease;
        size_t x11Presses, x11Releases;
        int32_t portalPresses, portalReleases;
    };
    const Case cases[] = {
        {"granted after the press", false, true, 1, 1, 0, 0},
        {"grant ended after the press", true, false, 0, 0, 1, 0},
        {"granted throughout", true, true, 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::output_route::PortalStandIn portal;
        platform::output_route::standInForPortal(&portal);
        portal.granted = c.grantedAtPress;
        platform::sendKeyEvent('A', true);
        platform::sendMouseInput(0, 0, 0, mf::LeftDown);
        portal.granted = c.grantedAtRelease;
        platform::sendKeyEvent('A', false);
        platform::sendMouseInput(0, 0, 0, mf::LeftUp);
        const auto events = seen();
        platform::output_route::standInForPortal(nullptr);
        EXPECT_EQ(details(events, XI_RawKeyPress).size(), c.x11Presses);
        EXPECT_EQ(details(events, XI_RawKeyRelease).size(), c.x11Releases);
        EXPECT_EQ(details(events, XI_RawButtonPress).size(), c.x11Presses);
        EXPECT_EQ(details(events, XI_RawButtonRelease).size(), c.x11Releases);
        EXPECT_EQ(portal.keysDown.load(), c.portalPresses);
        EXPECT_EQ(portal.keysUp.load(), c.portalReleases);
        EXPECT_EQ(portal.buttonsDown.load(), c.portalPresses);
        EXPECT_EQ(portal.buttonsUp.load(), c.portalReleases);
    }
}

TEST_F(LinuxInput, CodesWithoutAKeySendNothing) {
    EXPECT_EQ(platform::sendKeyEvent(0, true), 0u);
    EXPECT_EQ(platform::sendKeyEvent(0xFF, true), 0u);
    EXPECT_EQ(platform::sendKeyEvent(1, true), 0u);  // the left mouse button is no key
    EXPECT_TRUE(seen().empty());
}

TEST_F(LinuxInput, KeyNamesFollowWindowsThenTheKeysymThenTheCode) {
    EXPECT_EQ(bindingName(0xC0), "`");
    EXPECT_EQ(bindingName(1), "Left Mouse");
    EXPECT_EQ(bindingName(2), "Right Mouse");
    EXPECT_EQ(bindingName(4), "Middle Mouse");
    EXPECT_EQ(bindingName(5), "Mouse 4 (Side)");
    EXPECT_EQ(bindingName(6), "Mouse 5 (Side)");
    EXPECT_EQ(bindingName(0x77), "F8");
    EXPECT_EQ(bindingName(0x87), "F24");
    EXPECT_EQ(bindingName(32), "Space");
    EXPECT_EQ(bindingName(0x41), "A");
    EXPECT_EQ(bindingName(0x39), "9");
    EXPECT_EQ(bindingName(0x25), "Left");
    EXPECT_EQ(bindingName(0x2E), "Delete");
    EXPECT_EQ(bindingName(13), "Enter");
    EXPECT_EQ(bindingName(27), "Esc");
    EXPECT_EQ(bindingName(0x65), "Num 5");
    EXPECT_EQ(bindingName(0xA1), "Right Shift");
    EXPECT_EQ(bindingName(0x5B), "Super_L");  // no Windows name: the keysym's
    EXPECT_EQ(bindingName(3), "Cancel");     // not a mouse button
    EXPECT_EQ(bindingName(255), "Key without a code");  // as the hook gives such a key
    EXPECT_EQ(bindingName(-7), "Key[-7]");
}
