// The running program, driven only through its command pipe, clicks and
// presses keys for real: an independent XInput2 observer counts what reached
// the X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"

namespace {

class EnginesThroughPipe : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    e2e::RawObserver observer;
    std::string pipe;
    pid_t pid = -1;

    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
        ASSERT_TRUE(e2e::openObserver(observer, x.display));
        pid = e2e::startVarnet(x, folders);
        pipe = e2e::pipePath(folders);
        ASSERT_TRUE(e2e::waitForPipe(pipe, 20000));
    }
    void TearDown() override {
        if (pid > 0) {
            EXPECT_EQ(e2e::terminateAndWait(pid, 5000), 0);
        }
        e2e::closeObserver(observer);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    void command(const std::string& text) { ASSERT_TRUE(e2e::sendToPipe(pipe, text)) << text; }

    std::vector<e2e::ObservedEvent> eventsUntilQuiet() {
        return e2e::collectUntilQuiet(observer, 1000, 15000);
    }
    static std::vector<int> details(const std::vector<e2e::ObservedEvent>& events) {
        std::vector<int> out;
        for (const e2e::ObservedEvent& e : events) out.push_back(e.detail);
        return out;
    }
    int keycodeOf(KeySym keysym) {
        return XKeysymToKeycode(static_cast<Display*>(observer.display), keysym);
    }
};

}  // namespace

TEST_F(EnginesThroughPipe, CountedRunOfLeftClicksGivesExactlyThatManyPresses) {
    command("updateSpammer|0,0,0,20,0,0,0,5,0");
    command("toggleSpammer|");
    auto events = eventsUntilQuiet();
    EXPECT_EQ(details(e2e::ofType(events, XI_RawButtonPress)), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(details(e2e::ofType(events, XI_RawButtonRelease)), (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST_F(EnginesThroughPipe, DoubleRightClicksAreTwoPressesEach) {
    command("updateSpammer|0,0,0,1,1,1,0,3,0");
    command("toggleSpammer|");
    auto presses = e2e::ofType(eventsUntilQuiet(), XI_RawButtonPress);
    ASSERT_EQ(details(presses), (std::vector<int>{3, 3, 3, 3, 3, 3}));
    // The second click of each pair follows its first by the double-click gap
    // (15 ms when sent; the server's stamps may squeeze it a little on a busy
    // machine, never down to the 1 ms interval between pairs).
    EXPECT_GE(presses[1].serverTime - presses[0].serverTime, 10u);
}

TEST_F(EnginesThroughPipe, StoppingTheClickerSendsLeftRightAndMiddleReleases) {
    command("updateSpammer|0,0,0,5,2,0,1,0,0");
    command("toggleSpammer|");
    e2e::ObservedEvent first;
    ASSERT_TRUE(e2e::nextEvent(observer, first, 5000));
    command("toggleSpammer|");
    std::vector<e2e::ObservedEvent> events{first};
    for (const auto& e : eventsUntilQuiet()) events.push_back(e);
    auto presses = e2e::ofType(events, XI_RawButtonPress);
    auto releases = e2e::ofType(events, XI_RawButtonRelease);
    ASSERT_FALSE(presses.empty());
    for (const auto& press : presses) EXPECT_EQ(press.detail, 2);
    // Each middle click was released, and the stop released all three
    // buttons once more (a click under way may finish around them).
    std::vector<int> released = details(releases);
    EXPECT_EQ(std::count(released.begin(), released.end(), 1), 1);
    EXPECT_EQ(std::count(released.begin(), released.end(), 3), 1);
    EXPECT_EQ(size_t(std::count(released.begin(), released.end(), 2)), presses.size() + 1);
    EXPECT_EQ(events.back().type, XI_RawButtonRelease);
}

TEST_F(EnginesThroughPipe, KeySpammerPressesTheSpaceBarCountedTimes) {
    command("updateKeySpam|0,0,0,10,0,4");
    command("toggleKeySpam|");
    auto events = eventsUntilQuiet();
    int space = keycodeOf(XK_space);
    EXPECT_EQ(details(e2e::ofType(events, XI_RawKeyPress)), (std::vector<int>(4, space)));
    EXPECT_EQ(details(e2e::ofType(events, XI_RawKeyRelease)), (std::vector<int>(4, space)));
}

TEST_F(EnginesThroughPipe, StoppingTheKeySpammerLeavesTheKeyReleased) {
    command("updateKeySpam|0,0,0,3,1,0");
    command("toggleKeySpam|");
    e2e::ObservedEvent first;
    ASSERT_TRUE(e2e::nextEvent(observer, first, 5000));
    command("toggleKeySpam|");
    std::vector<e2e::ObservedEvent> events{first};
    for (const auto& e : eventsUntilQuiet()) events.push_back(e);
    auto presses = e2e::ofType(events, XI_RawKeyPress);
    auto releases = e2e::ofType(events, XI_RawKeyRelease);
    ASSERT_FALSE(presses.empty());
    EXPECT_GE(releases.size(), presses.size());
    EXPECT_EQ(events.back().type, XI_RawKeyRelease);
}

TEST_F(EnginesThroughPipe, ClickerAndKeySpammerSendSideBySide) {
    command("updateSpammer|0,0,0,1,0,0,0,50,0");
    command("updateKeySpam|0,0,0,1,0,50");
    command("toggleSpammer|");
    command("toggleKeySpam|");
    auto events = eventsUntilQuiet();
    EXPECT_EQ(e2e::ofType(events, XI_RawButtonPress).size(), 50u);
    EXPECT_EQ(e2e::ofType(events, XI_RawKeyPress).size(), 50u);
    EXPECT_EQ(e2e::ofType(events, XI_RawKeyRelease).size(), 50u);
}

// Humanised clicking around the pointer, as the server sees it: every wait,
// hold and point within what was asked, each varying, and the pointer back
// where it was. The server stamps in whole milliseconds and, when busy,
// stamps some events late, which stretches or squeezes a few waits and
// holds; the times are judged by their 10th and 90th percentiles.
TEST_F(EnginesThroughPipe, HumanisedSpreadsSeenByTheServerStayWithinWhatWasAsked) {
    constexpr int kIntervalMs = 30, kSpreadMs = 12, kHoldMs = 15, kAreaPx = 8, kClicks = 40;
    // Clear of where the program's own window may be mapped (at the origin or
    // centred), which would take the presses from the observer's root window.
    constexpr int kX = 1200, kY = 980;
    Display* display = static_cast<Display*>(observer.display);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, kX, kY);
    XSync(display, False);
    command("updateSpammer|0,0,0," + std::to_string(kIntervalMs) + ",0,0,0," + std::to_string(kClicks) +
            ",0,0,0,0," + std::to_string(kSpreadMs) + "," + std::to_string(kHoldMs) + "," + std::to_string(kAreaPx));
    command("toggleSpammer|");
    const auto events = eventsUntilQuiet();
    const auto presses = e2e::ofType(events, XI_RawButtonPress);
    const auto releases = e2e::ofType(events, XI_RawButtonRelease);
    ASSERT_EQ(presses.size(), size_t(kClicks));
    ASSERT_EQ(releases.size(), size_t(kClicks));
    // Each press is due a whole number of intervals after the first, moved by
    // an offset of its own: two presses lie the interval apart, give or take
    // both offsets, and half of them less, half more.
    std::vector<long> gaps, holds;
    for (size_t i = 0; i < presses.size(); ++i) {
        holds.push_back(long(releases[i].serverTime) - long(presses[i].serverTime));
        if (i > 0) gaps.push_back(long(presses[i].serverTime) - long(presses[i - 1].serverTime));
    }
    std::sort(gaps.begin(), gaps.end());
    std::sort(holds.begin(), holds.end());
    auto percentile = [](const std::vector<long>& sorted, size_t p) { return sorted[(sorted.size() - 1) * p / 100]; };
    EXPECT_GE(percentile(gaps, 10), kIntervalMs - 2 * kSpreadMs - 2);
    EXPECT_LE(percentile(gaps, 90), kIntervalMs + 2 * kSpreadMs + 5);
    EXPECT_NEAR(percentile(gaps, 50), kIntervalMs, 5) << "offsets do not add up";
    EXPECT_GE(percentile(gaps, 90) - percentile(gaps, 10), kSpreadMs) << "fresh offsets";
    EXPECT_GE(holds.front(), 0);
    EXPECT_LE(percentile(holds, 90), kHoldMs + 5);
    EXPECT_GE(percentile(holds, 90) - percentile(holds, 10), kHoldMs / 2) << "holds vary";
    int xLow = kX, xHigh = kX, yLow = kY, yHigh = kY;
    const auto placed = e2e::ofType(events, XI_ButtonPress);
    ASSERT_EQ(placed.size(), size_t(kClicks)) << "every press seen where it landed";
    for (const e2e::ObservedEvent& e : placed) {
        EXPECT_LE(std::abs(e.x - kX), kAreaPx);
        EXPECT_LE(std::abs(e.y - kY), kAreaPx);
        xLow = std::min(xLow, e.x), xHigh = std::max(xHigh, e.x);
        yLow = std::min(yLow, e.y), yHigh = std::max(yHigh, e.y);
    }
    EXPECT_GT(xHigh - xLow, kAreaPx / 2);
    EXPECT_GT(yHigh - yLow, kAreaPx / 2);
    Window root, child;
    int rootX = 0, rootY = 0, winX, winY;
    unsigned mask;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
    EXPECT_EQ(rootX, kX) << "the pointer is put back";
    EXPECT_EQ(rootY, kY);
}

// A sequence of three steps, run for two passes: the server sees each
// step's button pressed at its point, in order, after the waits before it.
TEST_F(EnginesThroughPipe, SequenceClicksEachStepAtItsPointInOrder) {
    struct Step {
        int x, y, button, xButton, waitMs;
    };
    // The points lie clear of where the program's own window may be mapped
    // (at the origin or centred), which would take a press from the observer.
    const Step steps[] = {{60, 980, 0, 1, 40}, {1200, 980, 2, 2, 40}, {1000, 50, 1, 3, 40}};
    for (const Step& step : steps)
        command("editClickSteps|add," + std::to_string(step.x) + "," + std::to_string(step.y) + "," +
                std::to_string(step.button) + ",0," + std::to_string(step.waitMs));
    command("updateSpammer|0,0,0,100,0,0,0,2,2");  // two passes over the sequence
    command("toggleSpammer|");
    const auto events = eventsUntilQuiet();
    const auto presses = e2e::ofType(events, XI_ButtonPress);
    ASSERT_EQ(presses.size(), 6u);
    EXPECT_EQ(e2e::ofType(events, XI_RawButtonRelease).size(), 6u);
    for (size_t i = 0; i < presses.size(); ++i) {
        const Step& step = steps[i % 3];
        EXPECT_EQ(presses[i].x, step.x) << "click " << i;
        EXPECT_EQ(presses[i].y, step.y) << "click " << i;
        EXPECT_EQ(presses[i].detail, step.xButton) << "click " << i;
    }
    // Each step is due its waits after the first, and a late one makes the
    // next gap shorter rather than the run longer: only the whole run's
    // length says the waits were kept (a busy machine's stamps jitter).
    EXPECT_GE(long(presses[5].serverTime) - long(presses[0].serverTime), 5 * steps[0].waitMs - 20);
}

namespace {

double reportedRate(const std::string& status, const char* key) {
    const std::string name = std::string("\"") + key + "\":";
    const size_t at = status.find(name);
    return at == std::string::npos ? 0.0 : std::strtod(status.c_str() + at + name.size(), nullptr);
}

bool bothRatesMeasured(const void* path) {
    const std::string status = e2e::readFile(*static_cast<const std::string*>(path));
    return reportedRate(status, "clickRate") > 0 && reportedRate(status, "keySpamRate") > 0;
}

bool ratesCleared(const void* path) {
    const std::string status = e2e::readFile(*static_cast<const std::string*>(path));
    return status.find(R"("clickRate":0,"keySpamRate":0,)") != std::string::npos;
}

// Per second, from the server's own stamps of the first and last press.
double observedRate(const std::vector<e2e::ObservedEvent>& presses) {
    if (presses.size() < 2) return 0.0;
    return double(presses.size() - 1) * 1000.0 / double(presses.back().serverTime - presses.front().serverTime);
}

}  // namespace

// The rate each engine reports while it runs is the rate that reached the
// server, and the report goes back to 0 once the engines stop.
TEST_F(EnginesThroughPipe, ReportedRatesAgreeWithWhatTheServerSaw) {
    command("updateSpammer|0,0,0,20,0,0,1,10,0");
    command("updateKeySpam|0,0,0,20,1,10");
    command("toggleSpammer|");
    command("toggleKeySpam|");
    const std::string statusFile = folders.sideFile("status.txt");
    ASSERT_TRUE(e2e::waitUntil(15000, bothRatesMeasured, &statusFile));
    const std::string status = e2e::readFile(statusFile);
    command("toggleSpammer|");
    command("toggleKeySpam|");
    const auto events = eventsUntilQuiet();
    const double clicks = observedRate(e2e::ofType(events, XI_RawButtonPress));
    const double keys = observedRate(e2e::ofType(events, XI_RawKeyPress));
    EXPECT_NEAR(reportedRate(status, "clickRate"), clicks, clicks * 0.15) << status;
    EXPECT_NEAR(reportedRate(status, "keySpamRate"), keys, keys * 0.15) << status;
    EXPECT_TRUE(e2e::waitUntil(5000, ratesCleared, &statusFile));
}
