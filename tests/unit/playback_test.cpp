#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "capture/button_flags.h"
#include "input/playback.h"
#include "model/mouse_buttons.h"
#include "platform/platform.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/capture_state.h"

namespace {

constexpr int64_t kMs = 1000000;  // fake counter ticks (ns) per millisecond

MacroEvent at(double time, MacroEvent e) {
    e.time = time;
    return e;
}

MacroEvent absMove(int32_t x, int32_t y) {
    MacroEvent e;
    e.kind = AbsMove;
    e.x = x;
    e.y = y;
    return e;
}

MacroEvent relMove(int32_t dx, int32_t dy) {
    MacroEvent e;
    e.kind = RelMove;
    e.x = dx;
    e.y = dy;
    return e;
}

MacroEvent keyStroke(int32_t vk, bool down) {
    MacroEvent e;
    e.kind = KeyStroke;
    e.vk = vk;
    e.down = down;
    return e;
}

bool waitFor(bool (*condition)(), int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; ++waited) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// Runs the playback thread on the manual clock until playback ends by itself
// (or stop() says so), then ends the thread.
class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        resetCaptureState();
        fake::reset();
        fake::useManualClock(true);
        fake::setCursor(0, 0);
    }
    void TearDown() override {
        finish();
        fake::reset();
        resetCaptureState();
    }
    void play(const std::vector<MacroEvent>& events) {
        setCurrentEvents(events);
        t0 = platform::perfCounter();
        appState().playing = true;
        worker = std::thread(playbackThread);
    }
    bool playsToTheEnd() { return waitFor([] { return !appState().playing.load(); }); }
    void finish() {
        appState().playing = false;
        appState().running = false;
        if (worker.joinable()) worker.join();
        appState().running = true;
    }
    std::vector<fake::SentInput> sentOf(fake::SentInput::Kind kind) {
        std::vector<fake::SentInput> out;
        for (const fake::SentInput& s : fake::sentInputs())
            if (s.kind == kind) out.push_back(s);
        return out;
    }
    int64_t t0 = 0;
    std::thread worker;
};

}  // namespace

TEST(PlaybackMaths, DueTimesScaleBySpeedAndGlideTruncatesTowardZero) {
    EXPECT_DOUBLE_EQ(playbackDueSeconds(2.0, 2.0f), 1.0);
    EXPECT_DOUBLE_EQ(playbackDueSeconds(0.5, 0.5f), 1.0);
    EXPECT_TRUE(std::isinf(playbackDueSeconds(1.0, 0.0f)));
    EXPECT_TRUE(std::isinf(playbackDueSeconds(1.0, NAN)));
    EXPECT_LT(playbackDueSeconds(1.0, -1.0f), 0.0);
    GlidePoint p = glidePoint(0, 0, -10, 7, 0.25, 0.0, 1.0);
    EXPECT_EQ(p.x, -2);  // -2.5 truncated toward zero
    EXPECT_EQ(p.y, 1);
    p = glidePoint(100, 100, 200, 300, 5.0, 0.0, 1.0);
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 300);
    p = glidePoint(100, 100, 200, 300, -1.0, 0.0, 1.0);
    EXPECT_EQ(p.x, 100);
    // The farthest points a file can hold: every step lies between them.
    p = glidePoint(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0.5, 0.0, 1.0);
    EXPECT_EQ(p.x, -1);  // -2^31 + trunc(2^31 - 0.5)
    EXPECT_EQ(p.y, 0);
    p = glidePoint(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 1.0, 0.0, 1.0);
    EXPECT_EQ(p.x, INT32_MAX);
    EXPECT_EQ(p.y, INT32_MIN);
}

TEST_F(Playback, AHostileScrollIsCappedSentANotchAtATimeAndStopsBetweenNotches) {
    MacroEvent wheel;
    wheel.kind = Scroll;
    wheel.delta = INT32_MIN;
    MacroEvent small = wheel;
    small.delta = 130;
    play({at(0.0, wheel), at(0.0, small)});
    ASSERT_TRUE(playsToTheEnd());
    std::vector<fake::SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 1002u);
    int64_t turned = 0;
    for (size_t i = 0; i < 1000; ++i) turned += int32_t(sent[i].mouseData);
    EXPECT_EQ(turned, -kMaxScrollDelta);
    EXPECT_EQ(int32_t(sent[1000].mouseData), 120);
    EXPECT_EQ(int32_t(sent[1001].mouseData), 10);

    finish();
    fake::reset();
    fake::useManualClock(true);
    fake::onSend([](const fake::SentInput&) {
        if (fake::sentCount() == 5) appState().playing = false;
    });
    wheel.delta = INT32_MAX;
    play({at(0.0, wheel)});
    ASSERT_TRUE(playsToTheEnd());
    EXPECT_EQ(fake::sentCount(), 5u);
}

TEST_F(Playback, KeysAreSentAtTheirTimesDividedBySpeed) {
    appState().tracker.tspd = 2.0f;
    play({at(0.5, keyStroke(65, true)), at(1.0, keyStroke(65, false)), at(3.0, keyStroke(66, false))});
    ASSERT_TRUE(playsToTheEnd());
    std::vector<fake::SentInput> keys = sentOf(fake::SentInput::Key);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].at - t0, 250 * kMs);
    EXPECT_EQ(keys[1].at - t0, 500 * kMs);
    EXPECT_EQ(keys[2].at - t0, 1500 * kMs);
    EXPECT_EQ(keys[2].vk, 66u);
}

// A key without a code plays only by the scan code a Windows hook gave it.
TEST_F(Playback, AKeyWithoutACodeIsSkippedUnlessAScanCodeNamesIt) {
    MacroEvent scanned = keyStroke(kKeyWithoutCode, true);
    scanned.scan = 0x73;
    play({at(0.0, keyStroke(kKeyWithoutCode, true)), at(0.0, keyStroke(kKeyWithoutCode, false)), at(0.0, scanned),
          at(0.0, keyStroke(65, true))});
    ASSERT_TRUE(playsToTheEnd());
    finish();
    std::vector<fake::SentInput> keys = sentOf(fake::SentInput::Key);
    ASSERT_EQ(keys.size(), 4u);  // the scanned press, A, and both released at the end
    EXPECT_EQ(keys[0].vk, uint32_t(kKeyWithoutCode));
    EXPECT_EQ(keys[0].scan, 0x73u);
    EXPECT_EQ(keys[1].vk, 65u);
}

TEST_F(Playback, HalfSpeedDoublesEveryGapIncludingTheLeadIn) {
    appState().tracker.tspd = 0.5f;
    play({at(0.25, keyStroke(65, true)), at(0.75, keyStroke(65, false))});
    ASSERT_TRUE(playsToTheEnd());
    std::vector<fake::SentInput> keys = sentOf(fake::SentInput::Key);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].at - t0, 500 * kMs);
    EXPECT_EQ(keys[1].at - t0, 1500 * kMs);
}

namespace {
int64_t holdUpNs = 0;  // how far the clock jumps right after the first event is sent
}

// Playback that finds itself held up (the clock jumped, the machine slept)
// resumes from where it stands; a small lateness is still made up.
TEST_F(Playback, AHoldUpOfMoreThanAQuarterSecondMovesTheRestOfThePassOn) {
    struct Case {
        const char* name;
        std::vector<double> times;
        int64_t holdUpMs;
        std::vector<int64_t> sentMs;  // from the pass's start
    } const cases[] = {
        {"an hour's jump", {0.1, 0.2, 0.3}, 3600000, {100, 3600100, 3600200}},
        {"a fifth of a second is made up", {0.1, 0.2, 0.3, 0.6}, 200, {100, 300, 300, 600}},
        {"an event re-timed earlier is not late", {0.5, 0.0, 0.6}, 0, {500, 500, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        finish();
        fake::reset();
        fake::useManualClock(true);
        holdUpNs = c.holdUpMs * kMs;
        fake::onSend([](const fake::SentInput&) {
            if (fake::sentCount() == 1) fake::advanceClock(holdUpNs);
        });
        std::vector<MacroEvent> events;
        for (double time : c.times) events.push_back(at(time, keyStroke(65, false)));
        play(events);
        ASSERT_TRUE(playsToTheEnd());
        const std::vector<fake::SentInput> keys = sentOf(fake::SentInput::Key);
        ASSERT_EQ(keys.size(), c.sentMs.size());
        for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].at - t0, c.sentMs[i] * kMs) << "event " << i;
    }
}

TEST_F(Playback, TheCursorGlidesFromWhereItStandsAndLandsOnThePoint) {
    fake::setCursor(100, 50);
    appState().tracker.tspd = 2.0f;
    play({at(2.0, absMove(1100, 550))});
    ASSERT_TRUE(playsToTheEnd());
    std::vector<fake::SentInput> moves = sentOf(fake::SentInput::Move);
    ASSERT_GT(moves.size(), 900u);
    for (size_t i = 0; i + 1 < moves.size(); ++i) {
        const double u = double(moves[i].at - t0) / (1000.0 * kMs);
        EXPECT_EQ(moves[i].x, 100 + int32_t(1000 * u + 1e-9)) << i;
        EXPECT_EQ(moves[i].y, 50 + int32_t(500 * u + 1e-9)) << i;
        EXPECT_TRUE(moves[i].x != moves[i + 1].x || moves[i].y != moves[i + 1].y);
    }
    EXPECT_EQ(moves.front().x, 100);
    EXPECT_EQ(moves.back().x, 1100);
    EXPECT_EQ(moves.back().y, 550);
    EXPECT_EQ(moves.back().at - t0, 1000 * kMs);
}

TEST_F(Playback, RelativeMoveLeavesTheGlideOrigin) {
    play({at(0.0, absMove(100, 100)), at(0.0, relMove(50, 50)), at(0.1, absMove(200, 100))});
    ASSERT_TRUE(playsToTheEnd());
    std::vector<fake::SentInput> sent = fake::sentInputs();
    size_t rel = 0;
    while (rel < sent.size() && sent[rel].kind != fake::SentInput::Mouse) ++rel;
    ASSERT_LT(rel + 1, sent.size());
    EXPECT_EQ(sent[rel].flags, mouse_flags::Move);
    EXPECT_EQ(sent[rel].dx, 50);
    // The first glide point after it is one step from (100, 100).
    EXPECT_EQ(sent[rel + 1].kind, fake::SentInput::Move);
    EXPECT_EQ(sent[rel + 1].x, 101);
    EXPECT_EQ(sent[rel + 1].y, 100);
}

TEST_F(Playback, ButtonsMoveFirstAndSideButtonsNameTheirButton) {
    MacroEvent side;
    side.kind = MouseButton;
    side.x = 7;
    side.y = 8;
    side.flags = recordedButtonFlags(6, true);
    MacroEvent oldSide = side;
    oldSide.flags = mouse_flags::XDown;  // from an older file: no button named
    MacroEvent wheel;
    wheel.kind = Scroll;
    wheel.delta = -120;
    play({at(0.0, side), at(0.0, wheel), at(0.0, oldSide)});
    ASSERT_TRUE(playsToTheEnd());
    finish();
    std::vector<fake::SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 5u);  // and the release of the side button left down
    EXPECT_EQ(sent[3].kind, fake::SentInput::Move);
    EXPECT_EQ(sent[0].kind, fake::SentInput::Move);
    EXPECT_EQ(sent[0].x, 7);
    EXPECT_EQ(sent[1].flags, mouse_flags::XDown);
    EXPECT_EQ(sent[1].mouseData, 2u);
    EXPECT_EQ(sent[2].flags, mouse_flags::Wheel);
    EXPECT_EQ(int32_t(sent[2].mouseData), -120);
}

// Looping for ever (stopped after the third pass) and a count of three
// passes play alike: the pause between passes, each pass timed from zero.
TEST_F(Playback, PassesPauseThenReplayTimedFromZeroWhetherLoopingOrCounted) {
    const struct {
        const char* name;
        void (*setUp)();
    } cases[] = {
        {"looping",
         [] {
             appState().tracker.tloop = true;
             fake::onSend([](const fake::SentInput&) {
                 if (fake::sentCount() >= 3) appState().playing = false;
             });
         }},
        {"three passes", [] { appState().tracker.tloopTimes = 3; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();  // each case from a fresh start
        SetUp();
        appState().tracker.tloopMs = 500;
        c.setUp();
        play({at(0.1, keyStroke(65, false))});
        ASSERT_TRUE(playsToTheEnd());
        std::vector<fake::SentInput> keys = sentOf(fake::SentInput::Key);
        ASSERT_EQ(keys.size(), 3u);
        EXPECT_EQ(keys[0].at - t0, 100 * kMs);
        EXPECT_EQ(keys[1].at - t0, 700 * kMs);
        EXPECT_EQ(keys[2].at - t0, 1300 * kMs);
    }
}

TEST_F(Playback, StopDuringALongWaitSendsNothingMore) {
    play({at(0.0, keyStroke(65, false)), at(100000.0, keyStroke(66, false))});
    ASSERT_TRUE(waitFor([] { return fake::sentCount() >= 1; }));
    appState().playing = false;
    finish();
    EXPECT_EQ(fake::sentCount(), 1u);
}

MacroEvent buttonAction(int32_t code, bool down) {
    MacroEvent e;
    e.kind = MouseButton;
    e.flags = recordedButtonFlags(code, down);
    return e;
}

// However playback ends, every key and button it pressed and did not release
// goes up, once, and nothing it released already is sent again.
TEST_F(Playback, WhateverTheMacroStillHoldsIsReleasedWhenPlaybackEnds) {
    constexpr int32_t kShift = 16, kB = 66;
    enum class End { Finished, Stopped, ShutDown };
    for (End end : {End::Finished, End::Stopped, End::ShutDown}) {
        SCOPED_TRACE(int(end));
        fake::reset();
        fake::useManualClock(true);
        appState().running = true;
        // Shift and the second side button stay down; B and the left button come up again.
        // Shift went down as the keyboard's scan code 0x36 and comes up as it.
        MacroEvent shiftDown = keyStroke(kShift, true);
        shiftDown.scan = 0x36;
        std::vector<MacroEvent> events = {at(0.0, shiftDown),                at(0.0, keyStroke(kB, true)),
                                          at(0.0, keyStroke(kB, false)),     at(0.0, buttonAction(6, true)),
                                          at(0.0, buttonAction(1, true)),    at(0.0, buttonAction(1, false))};
        if (end != End::Finished) events.push_back(at(100000.0, keyStroke(kShift, false)));
        play(events);
        ASSERT_TRUE(waitFor([] { return fake::sentCount() >= 9; }));  // six actions, three moves
        if (end == End::Stopped) appState().playing = false;
        if (end == End::ShutDown) appState().running = false;
        if (end == End::Finished) {
            ASSERT_TRUE(playsToTheEnd());
        }
        finish();
        std::vector<fake::SentInput> sent = fake::sentInputs();
        ASSERT_EQ(sent.size(), 11u);
        EXPECT_EQ(sent[9].kind, fake::SentInput::Key);
        EXPECT_EQ(sent[0].scan, 0x36u);
        EXPECT_EQ(sent[1].scan, 0u);
        EXPECT_EQ(sent[9].vk, uint32_t(kShift));
        EXPECT_EQ(sent[9].scan, 0x36u);
        EXPECT_FALSE(sent[9].down);
        EXPECT_EQ(sent[10].flags, mouse_flags::XUp);
        EXPECT_EQ(sent[10].mouseData, 2u);
    }
}

TEST_F(Playback, AnEmptyListEndsPlaybackAtOnce) {
    play({});
    ASSERT_TRUE(playsToTheEnd());
    EXPECT_EQ(fake::sentCount(), 0u);
}
