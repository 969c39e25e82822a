// Starting and stopping the engines the way a person does: a click on the
// page's Start with the clicks landing on it, Escape held down with the
// hotkeys off, and a macro stopped while it holds a key. Input that the
// program must take as a person's; an independent XInput2 observer counts
// what the program sent.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include "tests/e2e/harness.h"
#include "tests/e2e/panel_x11.h"
#include "tests/e2e/person_input.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"

namespace {

const char kMainTitle[] = "Varnet (Kestrine Edition)";
constexpr int64_t kMsNs = 1000000;

// Polls the status so that status.txt stays fresh.
const char kPollingPage[] =
    "<!doctype html><html><body><script>"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The program's own page, with the clicker's Start stretched over the whole
// window, so that a click anywhere in it is a click on Start.
std::string pageWithStartEverywhere() {
    std::string page = e2e::readFile(std::string(VARNET_BUILD_DIR) + "/ui/index.html");
    const std::string stretch =
        "<style>#clk-start{position:fixed;left:0;top:0;width:100vw;height:100vh;z-index:1000}</style>";
    const size_t end = page.rfind("</body>");
    if (end != std::string::npos) page.insert(end, stretch);
    return page;
}

std::vector<e2e::ObservedEvent> synthetic(const std::vector<e2e::ObservedEvent>& events, int type) {
    std::vector<e2e::ObservedEvent> out;
    for (const e2e::ObservedEvent& e : events) {
        if (e.type == type && e.fromXTest) out.push_back(e);
    }
    return out;
}

class Stopping : public ::testing::Test {
protected:
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
        ASSERT_TRUE(e2e::openPersonInput(person, x.display, false));
        ASSERT_TRUE(e2e::openObserver(observer, x.display));
    }
    void TearDown() override {
        if (pid > 0) {
            EXPECT_EQ(e2e::terminateAndWait(pid, 10000), 0);
        }
        e2e::closeObserver(observer);
        e2e::closePersonInput(person);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    void start(const std::string& page) {
        pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, page));
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(e2e::waitForWindow(x, kMainTitle, 30000));
        pipe = e2e::pipePath(folders);
        ASSERT_TRUE(e2e::waitForPipe(pipe, 20000));
        ASSERT_TRUE(e2e::waitForFile(folders.sideFile("status.txt"), 30000));
    }
    void command(const std::string& text) { ASSERT_TRUE(e2e::sendToPipe(pipe, text)) << text; }
    bool statusHas(const std::string& fragment, int timeoutMs = 5000) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            if (e2e::readFile(folders.sideFile("status.txt")).find(fragment) != std::string::npos) return true;
            pause(10);
        }
        return false;
    }

    e2e::XServer x;
    e2e::Folders folders;
    e2e::PersonInput person;
    e2e::RawObserver observer;
    std::string pipe;
    pid_t pid = -1;
};

}  // namespace

TEST_F(Stopping, APersonsClickOnStartGivesAClickerThatRunsUntilF6) {
    start(pageWithStartEverywhere());
    command("updateSpammer|0,0,0,20,0,0,1,10,0");  // every 20 ms, at the pointer
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::windowBox(x, kMainTitle, box));
    e2e::personMoveTo(person, box.x + box.width / 2, box.y + box.height / 2);
    // The page shows a while after its window does: click until Start answers.
    bool started = false;
    for (int attempt = 0; attempt < 30 && !started; ++attempt) {
        e2e::personButton(person, 1, true);
        pause(30);
        e2e::personButton(person, 1, false);
        started = statusHas("\"autoClicking\":true", 1000);
    }
    ASSERT_TRUE(started);

    // Its clicks land on Start, which does nothing while it runs.
    std::vector<e2e::ObservedEvent> seen;
    const int64_t until = e2e::monotonicNs() + 1500 * kMsNs;
    e2e::ObservedEvent event;
    while (e2e::monotonicNs() < until && e2e::nextEvent(observer, event, 500)) seen.push_back(event);
    const auto clicks = synthetic(seen, XI_RawButtonPress);
    ASSERT_GE(clicks.size(), 2u) << "the clicker stopped itself";
    EXPECT_GE(clicks.back().at - clicks.front().at, 1000 * kMsNs);
    EXPECT_TRUE(statusHas("\"autoClicking\":true", 100));

    e2e::personTap(person, XK_F6);
    ASSERT_TRUE(statusHas("\"autoClicking\":false"));
    e2e::collectUntilQuiet(observer, 200, 2000);  // a click under way may finish
    EXPECT_TRUE(synthetic(e2e::collectUntilQuiet(observer, 500, 500), XI_RawButtonPress).empty());
}

TEST_F(Stopping, EscapeHeldASecondStopsAClickerAtAFixedPointWithHotkeysOff) {
    std::filesystem::create_directories(folders.config + "/varnet");
    e2e::writeFile(folders.sideFile("appsettings.txt"), "hotkeysEnabled=0\r\n");
    start(kPollingPage);
    // A fixed point: every click takes the pointer back there.
    command("setFixedPoint|640,512");
    command("updateSpammer|0,0,0,20,0,0,1,10,1");
    command("toggleSpammer|");
    ASSERT_TRUE(statusHas("\"autoClicking\":true"));
    e2e::personTap(person, XK_F6);  // hotkeys off: nothing
    pause(200);
    EXPECT_TRUE(statusHas("\"autoClicking\":true", 100));

    e2e::personKey(person, XK_Escape, true);
    pause(500);
    EXPECT_TRUE(statusHas("\"autoClicking\":true", 100)) << "a short press is no way out";
    EXPECT_TRUE(statusHas("\"autoClicking\":false", 2000));
    e2e::personKey(person, XK_Escape, false);
    e2e::collectUntilQuiet(observer, 200, 2000);
    EXPECT_TRUE(synthetic(e2e::collectUntilQuiet(observer, 500, 500), XI_RawButtonPress).empty());
}

TEST_F(Stopping, AMacroStoppedWhileItHoldsShiftLeavesShiftUp) {
    std::filesystem::create_directories(folders.data + "/Varnet");
    e2e::writeFile(folders.sessionFile(),
                   "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
                   "CURRENT:0\r\nPROFILE:Held\r\n"
                   "3,0.05,0,0,0,16,1,0\r\n"
                   "3,100,0,0,0,16,0,0\r\n");
    start(kPollingPage);
    const int shift = XKeysymToKeycode(static_cast<Display*>(observer.display), XK_Shift_L);
    command("togglePlayback|");
    e2e::ObservedEvent pressed;
    ASSERT_TRUE(e2e::nextEvent(observer, pressed, 5000));
    EXPECT_EQ(pressed.type, XI_RawKeyPress);
    EXPECT_EQ(pressed.detail, shift);
    command("togglePlayback|");
    const auto released = synthetic(e2e::collectUntilQuiet(observer, 500, 5000), XI_RawKeyRelease);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0].detail, shift);
}
