#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "capture/button_flags.h"
#include "capture/hook_logic.h"
#include "capture/hotkeys.h"
#include "capture/swallow_plan.h"
#include "model/mouse_buttons.h"
#include "model/state.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/capture_state.h"

namespace {

constexpr int32_t kF8 = 119, kF7 = 118, kA = 0x41, kSpace = 32, kEscape = 27;
constexpr int64_t kSecond = 1000000000;

InputEvent key(int32_t vk, bool down, int64_t counter = kSecond) {
    InputEvent e;
    e.kind = InputEvent::Key;
    e.code = vk;
    e.down = down;
    e.counter = counter;
    return e;
}

InputEvent move(int32_t x, int32_t y, int64_t counter = kSecond) {
    InputEvent e;
    e.kind = InputEvent::PointerMove;
    e.x = x;
    e.y = y;
    e.counter = counter;
    return e;
}

InputEvent button(int32_t code, bool down, int32_t x = 10, int32_t y = 20) {
    InputEvent e;
    e.kind = InputEvent::Button;
    e.code = code;
    e.down = down;
    e.x = x;
    e.y = y;
    e.counter = kSecond;
    return e;
}

InputEvent wheel(int32_t delta) {
    InputEvent e;
    e.kind = InputEvent::Wheel;
    e.delta = delta;
    e.counter = kSecond;
    return e;
}

InputEvent raw(int32_t dx, int32_t dy) {
    InputEvent e;
    e.kind = InputEvent::RawMotion;
    e.x = dx;
    e.y = dy;
    e.counter = kSecond;
    return e;
}

InputEvent injected(InputEvent e) {
    e.injected = true;
    return e;
}

class HookLogic : public ::testing::Test {
protected:
    void SetUp() override { resetCaptureState(); }
    void TearDown() override { resetCaptureState(); }
    void startRecording() { appState().recording = true; }
    bool anyRequest() {
        AppState& s = appState();
        return s.toggleRecordingRequested || s.togglePlaybackRequested || s.toggleSpammerRequested ||
               s.toggleKeySpamRequested;
    }
};

}  // namespace

TEST_F(HookLogic, InjectedInputIsNeverRecordedNorFiresButMovesTheLastPoint) {
    startRecording();
    appState().hotkeys.hkPlay = 4;
    appState().tracker.trel = true;
    EXPECT_FALSE(handleKeyboardInput(injected(key(kF8, true))));
    EXPECT_FALSE(handleKeyboardInput(injected(key(kA, true))));
    EXPECT_FALSE(handleMouseInput(injected(button(4, true))));
    EXPECT_FALSE(handleMouseInput(injected(button(1, true))));
    EXPECT_FALSE(handleMouseInput(injected(wheel(120))));
    handleRawMotion(injected(raw(3, 4)));
    appState().tracker.trel = false;
    EXPECT_FALSE(handleMouseInput(injected(move(300, 400))));
    EXPECT_FALSE(anyRequest());
    EXPECT_TRUE(currentEvents().empty());
    EXPECT_EQ(appState().lastMousePoint, packPoint(300, 400));
    // A reassignment is not served by synthetic input either.
    appState().reassignSlot = ReassignSlot::Record;
    EXPECT_FALSE(handleKeyboardInput(injected(key(kA, true))));
    EXPECT_EQ(appState().capturedKey, 0);
}

TEST_F(HookLogic, HotkeyPressAndReleaseAreSwallowedAndToggleOnce) {
    EXPECT_TRUE(handleKeyboardInput(key(kF8, true)));
    EXPECT_TRUE(appState().toggleRecordingRequested.exchange(false));
    // Auto-repeats pass on and raise nothing.
    EXPECT_FALSE(handleKeyboardInput(key(kF8, true)));
    EXPECT_FALSE(handleKeyboardInput(key(kF8, true)));
    EXPECT_FALSE(appState().toggleRecordingRequested);
    EXPECT_TRUE(handleKeyboardInput(key(kF8, false)));
    EXPECT_TRUE(handleKeyboardInput(key(kF8, true)));
    EXPECT_TRUE(appState().toggleRecordingRequested);
}

TEST_F(HookLogic, HotkeysAreNeverRecordedEvenWhenDisabled) {
    appState().app.hotkeysEnabled = false;
    appState().hotkeys.hkAuto = 4;
    startRecording();
    EXPECT_FALSE(handleKeyboardInput(key(kF8, true)));
    EXPECT_FALSE(handleKeyboardInput(key(kF8, false)));
    EXPECT_FALSE(handleMouseInput(button(4, true)));
    EXPECT_FALSE(handleKeyboardInput(key(kSpace, true)));  // the key-spam target is no hotkey
    EXPECT_FALSE(anyRequest());
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, KeyStroke);
    EXPECT_EQ(events[0].vk, kSpace);
}

TEST_F(HookLogic, AutoRepeatRecordsAPressPerRepeatAndOneRelease) {
    startRecording();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(handleKeyboardInput(key(kA, true)));
    EXPECT_FALSE(handleKeyboardInput(key(kA, false)));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(events[size_t(i)].down);
    EXPECT_FALSE(events[3].down);
    EXPECT_EQ(events[3].vk, kA);
}

TEST_F(HookLogic, SharedKeyFiresOnlyTheFirstHotkeyInOrder) {
    appState().hotkeys.hkKeySpam = kA;
    appState().hotkeys.hkAuto = kA;
    appState().hotkeys.hkPlay = kA;
    EXPECT_TRUE(handleKeyboardInput(key(kA, true)));
    EXPECT_TRUE(appState().togglePlaybackRequested);
    EXPECT_FALSE(appState().toggleSpammerRequested);
    EXPECT_FALSE(appState().toggleKeySpamRequested);
}

TEST_F(HookLogic, MouseButtonHotkeyTogglesOnEachPressAndSwallowsBothEdges) {
    appState().hotkeys.hkPlay = 4;
    startRecording();
    EXPECT_TRUE(handleMouseInput(button(4, true)));
    EXPECT_TRUE(appState().togglePlaybackRequested.exchange(false));
    EXPECT_TRUE(handleMouseInput(button(4, false)));
    EXPECT_TRUE(handleMouseInput(button(4, true)));
    EXPECT_TRUE(appState().togglePlaybackRequested);
    EXPECT_TRUE(currentEvents().empty());
}

// A hotkey fires only with exactly its modifiers down, whichever key of a
// modifier it is and whatever the lock keys; the release goes where the
// press went, and the swallow plan takes the press exactly when the hooks do.
TEST_F(HookLogic, HotkeysMatchExactlyTheirModifiersAndAReassignmentTakesThem) {
    constexpr int32_t kF6 = 117, kMiddle = 4, kLShift = 0xA0, kLCtrl = 0xA2, kRCtrl = 0xA3, kCtrl = 0x11,
                      kAlt = 0x12, kShift = 0x10, kLWin = 0x5B, kCaps = 0x14, kNum = 0x90, kScroll = 0x91;
    constexpr int32_t C = modifier_bit::Ctrl, A = modifier_bit::Alt, S = modifier_bit::Shift, W = modifier_bit::Super;
    constexpr ReassignSlot None = ReassignSlot::NoSlot;
    struct Case {
        const char* name;
        int32_t code, modifiers;       // hkAuto
        std::vector<InputEvent> before;
        InputEvent pressed;
        ReassignSlot slot;
        bool swallowed, fires;
        int32_t captured, capturedModifiers;
    };
    const Case cases[] = {
        {"exact", kF6, C, {key(kLCtrl, true)}, key(kF6, true), None, true, true, 0, 0},
        {"the other Ctrl", kF6, C, {key(kRCtrl, true)}, key(kF6, true), None, true, true, 0, 0},
        {"all four, by their generic codes", kF6, C | A | S | W,
         {key(kCtrl, true), key(kAlt, true), key(kShift, true), key(kLWin, true)}, key(kF6, true), None, true, true,
         0, 0},
        {"missing modifier", kF6, C, {}, key(kF6, true), None, false, false, 0, 0},
        {"modifier let go before", kF6, C, {key(kLCtrl, true), key(kLCtrl, false)}, key(kF6, true), None, false,
         false, 0, 0},
        {"extra modifier", kF6, C, {key(kLCtrl, true), key(kLShift, true)}, key(kF6, true), None, false, false, 0, 0},
        {"a plain hotkey with Ctrl down", kF6, 0, {key(kLCtrl, true)}, key(kF6, true), None, false, false, 0, 0},
        {"lock keys ignored", kF6, C,
         {key(kCaps, true), key(kCaps, false), key(kNum, true), key(kScroll, true), key(kLCtrl, true)}, key(kF6, true),
         None, true, true, 0, 0},
        {"a synthetic modifier is no person's", kF6, C, {injected(key(kLCtrl, true))}, key(kF6, true), None, false,
         false, 0, 0},
        {"a modifier key bound alone", kRCtrl, 0, {}, key(kRCtrl, true), None, true, true, 0, 0},
        {"a button with a modifier", kMiddle, S, {key(kLShift, true)}, button(kMiddle, true), None, true, true, 0, 0},
        {"a button without it", kMiddle, S, {}, button(kMiddle, true), None, false, false, 0, 0},
        {"a modifier alone while a hotkey is awaited", kF6, 0, {key(kLCtrl, true)}, key(kLShift, true),
         ReassignSlot::Record, false, false, 0, 0},
        {"the key after it", kF6, 0, {key(kLCtrl, true), key(kLShift, true)}, key(kA, true), ReassignSlot::Record, true,
         false, kA, C | S},
        {"a button after it", kF6, 0, {key(kLCtrl, true)}, button(kMiddle, true), ReassignSlot::Play, true, false,
         kMiddle, C},
        {"the spammed key waits past a modifier", kF6, 0, {key(kLCtrl, true)}, key(kLShift, true),
         ReassignSlot::KeySpamTarget, false, false, 0, 0},
        {"the spammed key keeps its modifiers, Right Alt as AltGr", kF6, 0, {key(0xA5, true), key(kLShift, true)},
         key(kA, true), ReassignSlot::KeySpamTarget, true, false, kA, modifier_bit::AltGr | S},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetCaptureState();
        AppState& s = appState();
        s.hotkeys.hkAuto = c.code;
        s.hotkeys.hkAutoMods = c.modifiers;
        startRecording();
        for (const InputEvent& e : c.before) handleKeyboardInput(e);
        s.reassignSlot = c.slot;
        const bool isKey = c.pressed.kind == InputEvent::Key;
        const SwallowPlan plan = swallowPlanFromState();
        const int32_t held = modifiersHeldBesides(isKey ? c.pressed.code : 0);
        EXPECT_EQ(isKey ? planTakesKey(plan, c.pressed.code, held) : planTakesButton(plan, c.pressed.code, held),
                  c.swallowed);
        auto handle = [&](InputEvent e) { return isKey ? handleKeyboardInput(e) : handleMouseInput(e); };
        EXPECT_EQ(handle(c.pressed), c.swallowed);
        EXPECT_EQ(s.toggleSpammerRequested.exchange(false), c.fires);
        EXPECT_EQ(s.capturedKey, c.captured);
        EXPECT_EQ(s.capturedModifiers, c.capturedModifiers);
        // The modifiers go up first; the release still follows the press.
        for (const InputEvent& e : c.before)
            if (e.down) handleKeyboardInput(key(e.code, false));
        InputEvent release = c.pressed;
        release.down = false;
        EXPECT_EQ(handle(release), c.swallowed);
        size_t recorded = 0;
        for (const MacroEvent& e : currentEvents())
            recorded += isKey ? e.kind == KeyStroke && e.vk == c.pressed.code : e.kind == MouseButton;
        EXPECT_EQ(recorded, c.swallowed ? 0u : 2u) << "press and release recorded only when passed on";
    }
}

// Ctrl went down, and up on a desktop the hooks do not watch (Win+L,
// Ctrl+Alt+Del, an elevation prompt): F6 alone must fire its hotkey, whether
// the system says Ctrl is up or the session's return clears what was held.
TEST_F(HookLogic, AModifierReleasedOutOfSightHoldsNoHotkeyBack) {
    constexpr int32_t kF6 = 0x75, kLCtrl = 0xA2;
    struct Case {
        const char* name;
        platform::KeyState ctrlNow;
        bool sessionCameBack;
    };
    for (const Case& c : {Case{"the system holds Ctrl up", platform::KeyState::Up, false},
                          Case{"the session came back", platform::KeyState::Unknown, true}}) {
        SCOPED_TRACE(c.name);
        resetCaptureState();
        fake::reset();
        AppState& s = appState();
        s.hotkeys.hkAuto = kF6;
        s.hotkeys.hkAutoMods = 0;
        EXPECT_FALSE(handleKeyboardInput(key(kLCtrl, true)));
        fake::keyStates[kLCtrl] = c.ctrlNow;
        if (c.sessionCameBack) {
            noteSessionAway(true);
            EXPECT_TRUE(s.sessionAway);
            noteSessionAway(false);
        }
        EXPECT_FALSE(s.sessionAway);
        EXPECT_TRUE(handleKeyboardInput(key(kF6, true)));
        EXPECT_TRUE(s.toggleSpammerRequested.exchange(false));
        EXPECT_TRUE(handleKeyboardInput(key(kF6, false)));
    }
    fake::reset();
}

// A swallowed hotkey leaves Alt or Windows to go up with nothing in between,
// which opens the menu bar or Start: the masking key goes in between, once
// per press, and only for those two modifiers.
TEST_F(HookLogic, AnAltOrWindowsHotkeyIsMaskedBeforeItsModifierGoesUp) {
    constexpr int32_t kF6 = 0x75, kLAlt = 0xA4, kLWin = 0x5B, kLCtrl = 0xA2, kMiddle = 4;
    constexpr int32_t A = modifier_bit::Alt, W = modifier_bit::Super, C = modifier_bit::Ctrl;
    struct Case {
        const char* name;
        int32_t code, modifiers, heldKey;
        bool hotkeysOn, masked;
    } const cases[] = {
        {"Alt+F6", kF6, A, kLAlt, true, true},
        {"Win+F6", kF6, W, kLWin, true, true},
        {"Ctrl+F6", kF6, C, kLCtrl, true, false},
        {"Alt+F6 with hotkeys off", kF6, A, kLAlt, false, false},
        {"Alt+middle button", kMiddle, A, kLAlt, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetCaptureState();
        fake::reset();
        AppState& s = appState();
        s.app.hotkeysEnabled = c.hotkeysOn;
        s.hotkeys.hkAuto = c.code;
        s.hotkeys.hkAutoMods = c.modifiers;
        handleKeyboardInput(key(c.heldKey, true));
        const bool isKey = c.code != kMiddle;
        auto press = [&] { return isKey ? handleKeyboardInput(key(c.code, true)) : handleMouseInput(button(c.code, true)); };
        EXPECT_EQ(press(), c.hotkeysOn);
        if (isKey) press();  // an auto-repeat masks nothing more
        std::vector<uint32_t> sent;
        for (const fake::SentInput& input : fake::sentInputs()) sent.push_back(input.vk * 2 + input.down);
        const std::vector<uint32_t> mask = {0xE8 * 2 + 1, 0xE8 * 2};  // down, then up
        EXPECT_EQ(sent, c.masked ? mask : std::vector<uint32_t>());
    }
    fake::reset();
}

TEST_F(HookLogic, MovesToOnePointRecordOnceAndTheFirstMustDifferFromTheLastSeen) {
    EXPECT_FALSE(handleMouseInput(move(5, 6)));  // seen before the recording starts
    startRecording();
    handleMouseInput(move(5, 6));
    handleMouseInput(move(7, 8, 2 * kSecond));
    handleMouseInput(move(7, 8, 3 * kSecond));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, AbsMove);
    EXPECT_EQ(events[0].x, 7);
    EXPECT_EQ(events[0].y, 8);
    EXPECT_DOUBLE_EQ(events[0].time, 2.0);
}

TEST_F(HookLogic, EventTimesCountFromTheRecordingStartAndStaleEventsAreLeftOut) {
    appState().recordStart = 2 * kSecond;
    startRecording();
    handleKeyboardInput(key(kA, true, kSecond));  // seen before this recording began
    handleKeyboardInput(key(kA, false, 3 * kSecond + kSecond / 4));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_DOUBLE_EQ(events[0].time, 1.25);
}

TEST_F(HookLogic, RelativeRecordingTakesRawMotionAndKeepsButtonsAbsolute) {
    appState().tracker.trel = true;
    startRecording();
    handleMouseInput(move(50, 60));
    handleRawMotion(raw(-3, 5));
    handleRawMotion(raw(0, 0));
    InputEvent tablet = raw(7, 7);
    tablet.absolute = true;
    handleRawMotion(tablet);
    handleMouseInput(button(1, true, 50, 60));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, RelMove);
    EXPECT_EQ(events[0].x, -3);
    EXPECT_EQ(events[0].y, 5);
    EXPECT_EQ(events[1].kind, MouseButton);
    EXPECT_EQ(events[1].x, 50);
    EXPECT_EQ(appState().lastMousePoint, packPoint(50, 60));
}

TEST_F(HookLogic, WithoutMovementTrackingNoMoveOfEitherKindIsRecorded) {
    appState().tracker.tmv = false;
    startRecording();
    handleMouseInput(move(1, 2));
    appState().tracker.trel = true;
    handleRawMotion(raw(1, 1));
    EXPECT_TRUE(currentEvents().empty());
}

TEST_F(HookLogic, ButtonsWheelAndKeysFollowTheirFiltersAndFlags) {
    startRecording();
    const int32_t codes[] = {1, 2, 4, 5, 6};
    for (int32_t code : codes) {
        handleMouseInput(button(code, true));
        handleMouseInput(button(code, false));
    }
    handleMouseInput(wheel(-120));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 11u);
    const uint32_t expected[] = {0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x10080, 0x10100, 0x20080, 0x20100};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(events[i].kind, MouseButton);
        EXPECT_EQ(events[i].flags, expected[i]) << i;
    }
    EXPECT_EQ(events[10].kind, Scroll);
    EXPECT_EQ(events[10].delta, -120);

    setCurrentEvents({});
    appState().tracker.tclk = false;
    appState().tracker.tscr = false;
    appState().tracker.tkey = false;
    handleMouseInput(button(1, true));
    handleMouseInput(wheel(120));
    handleKeyboardInput(key(kA, true));
    EXPECT_TRUE(currentEvents().empty());
}

TEST_F(HookLogic, AnOldSideButtonFlagStillReadsAsAPressOfNoNamedButton) {
    EXPECT_EQ(buttonActionOf(0x80), mouse_flags::XDown);
    EXPECT_EQ(sideButtonOf(0x80), 0u);
    EXPECT_EQ(sideButtonOf(recordedButtonFlags(6, false)), 2u);
    EXPECT_EQ(buttonActionOf(recordedButtonFlags(6, false)), mouse_flags::XUp);
}

TEST_F(HookLogic, PickTakesTheLeftPressAndPassesItsRelease) {
    startRecording();
    callPickLocation("[]");
    EXPECT_TRUE(appState().pickingLocation);
    EXPECT_FALSE(handleMouseInput(button(5, true, 1, 1)));  // side buttons leave the pick pending
    EXPECT_TRUE(appState().pickingLocation);
    EXPECT_TRUE(handleMouseInput(button(1, true, 800, 600)));
    EXPECT_FALSE(handleMouseInput(button(1, false, 800, 600)));
    const ClickerSettings& c = appState().clicker;
    EXPECT_EQ(c.fixedX, 800);
    EXPECT_EQ(c.fixedY, 600);
    EXPECT_EQ(c.locMode, 1);
    EXPECT_FALSE(appState().pickingLocation);
    // The side press and the release were recorded; the picking press was not.
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].flags, recordedButtonFlags(5, true));
    EXPECT_EQ(events[1].flags, mouse_flags::LeftUp);
}

TEST_F(HookLogic, RightOrMiddlePressCancelsThePick) {
    appState().clicker.fixedX = 3;
    for (int32_t code : {2, 4}) {
        callPickLocation("");
        EXPECT_TRUE(handleMouseInput(button(code, true, 900, 900)));
        EXPECT_FALSE(appState().pickingLocation);
    }
    EXPECT_EQ(appState().clicker.fixedX, 3);
    EXPECT_EQ(appState().clicker.locMode, 0);
}

TEST_F(HookLogic, PendingReassignmentSwallowsTheNextKeyEvenAHotkey) {
    startRecording();
    callReassignKey(R"(["play"])");
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::Play);
    EXPECT_FALSE(handleKeyboardInput(key(kA, false)));  // a release is not a capture
    EXPECT_TRUE(handleKeyboardInput(key(kF8, true)));
    EXPECT_EQ(appState().capturedKey, kF8);
    EXPECT_FALSE(appState().toggleRecordingRequested);
    EXPECT_TRUE(handleKeyboardInput(key(kEscape, true)));
    EXPECT_EQ(appState().capturedKey, kEscape);
    ASSERT_EQ(currentEvents().size(), 1u);  // only the release of A
}

TEST_F(HookLogic, ReassignmentTakesButtonsOtherThanTheLeft) {
    callReassignKey("play");
    EXPECT_FALSE(handleMouseInput(button(1, true)));
    EXPECT_EQ(appState().capturedKey, 0);
    EXPECT_TRUE(handleMouseInput(button(4, true)));
    EXPECT_EQ(appState().capturedKey, 4);
}

TEST_F(HookLogic, KeySpamTargetTakesKeyboardKeysOnly) {
    appState().hotkeys.hkAuto = 2;
    callReassignKey("keyspamtarget");
    // The right button is no candidate: it goes on to the hotkey step.
    EXPECT_TRUE(handleMouseInput(button(2, true)));
    EXPECT_TRUE(appState().toggleSpammerRequested);
    EXPECT_EQ(appState().capturedKey, 0);
    EXPECT_FALSE(handleMouseInput(button(5, true)));
    EXPECT_EQ(appState().capturedKey, 0);
    EXPECT_TRUE(handleKeyboardInput(key(kA, true)));
    EXPECT_EQ(appState().capturedKey, kA);
}

// Such a key is recorded like any other, passes on while a binding is awaited
// and is never taken as one.
TEST_F(HookLogic, AKeyWithoutACodeIsRecordedButNeverBound) {
    startRecording();
    for (const char* slot : {"play", "keyspamtarget"}) {
        callReassignKey(slot);
        EXPECT_FALSE(handleKeyboardInput(key(kKeyWithoutCode, true)));
        EXPECT_EQ(appState().capturedKey, 0) << slot;
        EXPECT_TRUE(handleKeyboardInput(key(kA, true)));
        EXPECT_EQ(appState().capturedKey, kA) << slot;
        appState().capturedKey = 0;
        appState().reassignSlot = ReassignSlot::NoSlot;
    }
    EXPECT_FALSE(handleKeyboardInput(key(kKeyWithoutCode, false)));
    std::vector<MacroEvent> events = currentEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].vk, kKeyWithoutCode);
    EXPECT_TRUE(events[0].down);
    EXPECT_FALSE(events[2].down);
}

TEST_F(HookLogic, ReassignKeyNamesAreExactAndResetKeepsTheTarget) {
    const std::pair<const char*, ReassignSlot> names[] = {{"rec", ReassignSlot::Record},
                                                          {"play", ReassignSlot::Play},
                                                          {"auto", ReassignSlot::AutoClick},
                                                          {"keyspamhotkey", ReassignSlot::KeySpamHotkey},
                                                          {"keyspamtarget", ReassignSlot::KeySpamTarget}};
    for (const auto& [name, slot] : names) {
        callReassignKey(name);
        EXPECT_EQ(appState().reassignSlot, slot) << name;
    }
    callReassignKey("Rec");
    callReassignKey("foo");
    callReassignKey("");
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::KeySpamTarget);

    appState().hotkeys.hkRec = 4;
    appState().keySpam.keySpamTarget = kA;
    callResetHotkeys("[]");
    EXPECT_EQ(appState().hotkeys.hkRec, 119);
    EXPECT_EQ(appState().hotkeys.hkPlay, kF7);
    EXPECT_EQ(appState().keySpam.keySpamTarget, kA);
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::KeySpamTarget);
}

TEST_F(HookLogic, APersonsEscapeCancelsThePickAndIsSwallowedASyntheticOneIsNot) {
    appState().clicker.fixedX = 3;
    callPickLocation("");
    EXPECT_FALSE(handleKeyboardInput(injected(key(kEscape, true))));
    EXPECT_TRUE(appState().pickingLocation);
    EXPECT_FALSE(handleKeyboardInput(key(kA, true)));
    EXPECT_TRUE(appState().pickingLocation);
    EXPECT_TRUE(handleKeyboardInput(key(kEscape, true)));
    EXPECT_FALSE(appState().pickingLocation);
    EXPECT_EQ(appState().clicker.fixedX, 3);
    EXPECT_FALSE(handleKeyboardInput(key(kEscape, true)));  // no pick left to cancel
}
