// The auto-clicker's sequence on the fake backend and its manual clock: each
// step clicks at its point with its button, its wait (humanised as the
// interval is) leads to the next, and a pass over the steps is one action.
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "bridge/page_calls.h"
#include "capture/picking.h"
#include "model/mouse_buttons.h"
#include "model/mouse_flags.h"
#include "tests/unit/engine_fixture.h"

namespace {

using fake::SentInput;
using Sequence = EngineTest;

void setSteps(std::vector<ClickStep> steps) {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    appState().clickSteps = std::move(steps);
}

std::vector<ClickStep> liveSteps() {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    return appState().clickSteps;
}

struct Row {
    const char* what;
    std::vector<ClickStep> steps;
    int32_t rptMode = RunCounted, rptTimes = 2, runS = 0;
    int32_t rndMs = 0, holdMs = 0, areaPx = 0;
    size_t clicks;   // the step clicks the run makes before it ends by itself
    int32_t passes;  // the actions it counts
};

const uint32_t kPress[] = {mouse_flags::LeftDown, mouse_flags::RightDown, mouse_flags::MiddleDown};

}  // namespace

TEST_F(Sequence, GoesThroughItsStepsInOrderAndCountsPasses) {
    const ClickStep a{10, 20, 0, 0, 50}, b{30, 40, 1, 0, 0}, c{-50, 60, 2, 1, 200};
    const ClickStep slow1{100, 100, 0, 0, 400}, slow2{200, 200, 0, 0, 400};
    const ClickStep h1{300, 300, 0, 0, 100}, h2{400, 400, 1, 0, 100};
    const Row rows[] = {
        // A wait of 0 is 1 ms; the double click fits inside its wait.
        {"order, buttons and waits", {a, b, c}, RunCounted, 2, 0, 0, 0, 0, 6, 2},
        // Ends inside the third step's wait, one pass done.
        {"timed run of 1 s", {slow1, slow2}, RunTimed, 0, 1, 0, 0, 0, 3, 1},
        {"humanised waits, holds and points", {h1, h2}, RunCounted, 40, 0, 20, 10, 5, 80, 40},
        {"no steps", {}, RunUntilStopped, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetEverythingForTest();
        setSteps(row.steps);
        ClickerSettings& s = appState().clicker;
        s.locMode = InSequence;
        s.rptMode = row.rptMode;
        s.rptTimes = row.rptTimes;
        s.runS = row.runS;
        s.rndMs = row.rndMs;
        s.holdMs = row.holdMs;
        s.areaPx = row.areaPx;
        appState().autoClicking = true;
        for (int i = 0; i < 1000 && appState().autoClicking; ++i) autoClickerStep();
        EXPECT_FALSE(appState().autoClicking) << "the run ends by itself";
        EXPECT_EQ(appState().clickCount, row.passes);

        const std::vector<SentInput> sent = fake::sentInputs();
        std::vector<SentInput> moves;
        for (const SentInput& input : sent) if (input.kind == SentInput::Move) moves.push_back(input);
        ASSERT_EQ(moves.size(), row.clicks);
        int64_t nominal = 0;  // where each step is due from the run's start, before its spread
        std::set<int64_t> offsets;
        for (size_t i = 0; i < moves.size(); ++i) {
            const ClickStep& step = row.steps[i % row.steps.size()];
            EXPECT_LE(std::abs(moves[i].x - step.x), row.areaPx) << "click " << i;
            EXPECT_LE(std::abs(moves[i].y - step.y), row.areaPx) << "click " << i;
            const int64_t offset = moves[i].at - moves[0].at - nominal;
            EXPECT_LE(std::abs(offset), row.rndMs * kMs) << "click " << i;
            offsets.insert(offset);
            nominal += std::max(1, step.waitMs) * kMs;
        }
        if (row.rndMs > 0) {
            EXPECT_GT(offsets.size(), 10u) << "the waits vary";
        }
        // Each step's click: its button's press and release, twice for a
        // double, each press held no longer than holdMs.
        size_t move = 0;
        for (size_t i = 0; i < sent.size(); ++i) {
            if (sent[i].kind != SentInput::Move) continue;
            const ClickStep& step = row.steps[move++ % row.steps.size()];
            const size_t presses = step.type == 1 ? 2 : 1;
            ASSERT_LT(i + 2 * presses, sent.size());
            for (size_t p = 0; p < presses; ++p) {
                const SentInput& press = sent[i + 1 + 2 * p];
                const SentInput& release = sent[i + 2 + 2 * p];
                EXPECT_EQ(press.flags, kPress[step.button]);
                EXPECT_EQ(release.flags, kPress[step.button] << 1);
                EXPECT_LE(release.at - press.at, row.holdMs * kMs);
            }
        }
    }
}

// An edit while a pass runs waits for the next pass; a pass that was cut
// short by a stop starts again from the first step.
TEST_F(Sequence, EditsTakeEffectFromTheNextPassAndAStopStartsOver) {
    setSteps({{1, 1, 0, 0, 10}, {2, 2, 0, 0, 10}});
    appState().clicker.locMode = InSequence;
    appState().autoClicking = true;
    autoClickerStep();
    setSteps({{7, 7, 0, 0, 10}});
    autoClickerStep();  // still the old pass's second step
    autoClickerStep();  // the new list
    appState().autoClicking = false;
    autoClickerStep();
    setSteps({{1, 1, 0, 0, 10}, {2, 2, 0, 0, 10}});
    appState().autoClicking = true;
    autoClickerStep();
    std::vector<int32_t> xs;
    for (const SentInput& input : fake::sentInputs()) if (input.kind == SentInput::Move) xs.push_back(input.x);
    EXPECT_EQ(xs, (std::vector<int32_t>{1, 2, 7, 1}));
}

TEST_F(Sequence, AStopDuringAStepsHoldReleasesItsButton) {
    fake::useManualClock(false);
    setSteps({{5, 5, 1, 0, 3600000}});
    appState().clicker.locMode = InSequence;
    appState().clicker.holdMs = 10000;
    appState().autoClicking = true;
    std::thread clicker(autoClickerStep);
    while (fake::sentCount() < 2) std::this_thread::yield();  // moved and pressed
    appState().autoClicking = false;
    clicker.join();  // an hour's wait otherwise
    const std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].flags, mouse_flags::RightDown);
    EXPECT_EQ(sent[2].flags, mouse_flags::RightUp);
}

// The page's edits; a pick adds a step where the person clicks, with the
// clicker's button and type.
TEST_F(Sequence, PageEditsAndAPickedStep) {
    callEditClickSteps(R"(["add",10,20,1,0,250])");
    callEditClickSteps(R"(["add",30,40,0,1,0])");
    callEditClickSteps(R"(["move",1,0])");
    callEditClickSteps(R"(["set",1,11,21,2,0,300])");
    for (const char* refused : {R"(["add",1,2,3,0,0])", R"(["add",1,2,0,0,3600001])", R"(["add",1,2,0,0])",
                                R"(["delete",2])", R"(["move",0,2])", R"(["set",-1,1,1,0,0,0])", R"(["add",x,2,0,0,0])"})
        callEditClickSteps(refused);
    appState().clicker.sbtn = 2;
    callEditClickSteps(R"(["pick"])");
    EXPECT_TRUE(appState().pickingLocation);
    InputEvent press;
    press.kind = InputEvent::Button;
    press.code = button_code::Left;
    press.down = true;
    press.x = 300;
    press.y = -7;
    EXPECT_EQ(pickStep(press), PickOutcome::Swallow);
    EXPECT_FALSE(appState().pickingLocation);
    callEditClickSteps(R"(["delete",0])");
    const std::vector<ClickStep> steps = liveSteps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].x, 11);
    EXPECT_EQ(steps[0].button, 2);
    EXPECT_EQ(steps[0].waitMs, 300);
    EXPECT_EQ(steps[1].x, 300);
    EXPECT_EQ(steps[1].y, -7);
    EXPECT_EQ(steps[1].button, 2);
    EXPECT_EQ(steps[1].waitMs, 100);
    EXPECT_EQ(appState().clicker.locMode, AtPointer) << "a step's pick leaves the fixed point alone";
}
