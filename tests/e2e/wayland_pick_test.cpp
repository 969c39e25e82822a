// Picking the clicker's fixed point on a headless sway. The compositor's
// pointer never reaches the program's X server, so the pick's press comes
// to the program's own full-screen surface; the logging window
// (wayland_client_main.cpp) shows when that surface takes and gives back the
// focus, and the saved settings show what the pick decided.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/compositor_cases.h"
#include "tests/e2e/compositor_suite.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/sway_session.h"

namespace {

namespace fs = std::filesystem;

// Starts a pick as the page's button does, and keeps the status side file fresh.
const char kPickingPage[] =
    "<!doctype html><html><body><script>"
    "window.pickLocation();"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

// The session's fixed point, (300, 200), as the session file stores it.
const char kSessionPoint[] = "SETTINGS:0,0,0,100,0,0,1,10,1,300,200,";

struct PickCase {
    const char* what;
    std::vector<std::string> input;  // the logging client's arguments
    const char* pressSeen;           // what the window would have logged had the press reached it
    const char* pointAfter;          // the start of the saved settings line
};

const PickCase kCases[] = {
    {"a right press cancels", {"click", "412", "237", "right"}, "button 273 1", kSessionPoint},
    {"Escape cancels", {"press", "Escape"}, "key Escape 1", kSessionPoint},
    {"a left press takes its point", {"click", "412", "237"}, "button 272 1",
     "SETTINGS:0,0,0,100,0,0,1,10,1,412,237,"},
};

bool comesToHold(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool fileComesToHold(const std::string& path, const std::string& fragment, int timeoutMs) {
    return comesToHold([&] { return e2e::readFile(path).find(fragment) != std::string::npos; }, timeoutMs);
}

class PickOnSway : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(e2e::kSway, X_OK) != 0)
            GTEST_SKIP() << "sway is not installed (scripts/setup test installs it)";
        folders = e2e::makeFolders();
        chmod(folders.root.c_str(), 0755);
        fs::create_directories(folders.data + "/Varnet");
        binary = e2e::binaryWithPage(folders, kPickingPage);
        e2e::giveToCompositorUser(folders.root);
        // folders.runtime is the compositor's runtime folder too.
        std::string failure;
        const bool started = e2e::startSway(sway, folders.root, VARNET_WAYLAND_CLIENT, failure);
        x = e2e::startXServer();
        ASSERT_TRUE(started) << failure;
    }
    void TearDown() override {
        if (varnet > 0) e2e::terminateAndWait(varnet, 5000);
        e2e::stopSway(sway);
        e2e::stopXServer(x);
        if (!folders.root.empty()) e2e::removeFolders(folders);
    }

    // The program runs as root beside the compositor's user: it needs no
    // command line here, and root reaches sway's socket.
    void startPicking() { varnet = e2e::startVarnetIn(sway.env, x, folders, {}, binary); }
    int endProgram() {
        const int code = e2e::terminateAndWait(varnet, 10000);
        varnet = -1;
        return code;
    }
    int swaymsg(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "/usr/bin/swaymsg");
        return e2e::waitForExit(e2e::spawnProcess(arguments, sway.env), 10000);
    }
    void runOnCompositor(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{VARNET_WAYLAND_CLIENT};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ASSERT_EQ(e2e::waitForExit(e2e::spawnProcess(argv, sway.env), 10000), 0);
    }

    e2e::Folders folders;
    e2e::SwaySession sway;
    e2e::XServer x;
    std::string binary;
    pid_t varnet = -1;
};

}  // namespace

// sway starts once for all rows; each row starts the program afresh, its pick with it.
TEST_F(PickOnSway, ThePicksSurfaceTakesThePressOrTheCancel) {
    e2e::WindowLog& log = *sway.log;
    for (const PickCase& pick : kCases) {
        SCOPED_TRACE(pick.what);
        e2e::writeFile(folders.sessionFile(), e2e::kCompositorSession);
        fs::remove(folders.sideFile("status.txt"));  // the last row's, which ended its pick
        const size_t from = log.size();
        startPicking();
        ASSERT_GT(varnet, 0);
        // The last row's program may still be leaving the window's lines
        // (its devices going, the focus coming and going): this program's
        // come once its devices are made, which its pick surface follows.
        const size_t devices = log.indexOf("seat pointer keyboard", from, 30000);
        ASSERT_NE(devices, e2e::WindowLog::kNever);
        // The surface is up once it has the keyboard's focus.
        ASSERT_TRUE(log.waitFor("focus out", devices + 1, 30000));
        const size_t beforeInput = log.size();
        runOnCompositor(pick.input);
        // The pick ends and its surface goes: the window has the focus again.
        EXPECT_TRUE(log.waitFor("focus in", beforeInput, 5000));
        EXPECT_TRUE(fileComesToHold(folders.sideFile("status.txt"), "\"picking\":false", 5000))
            << e2e::readFile(folders.sideFile("status.txt"));
        EXPECT_EQ(e2e::countOf(log.untilQuiet(beforeInput, 300, 5000), pick.pressSeen), 0u);
        ASSERT_EQ(endProgram(), 0);
        const std::string session = e2e::readFile(folders.sessionFile());
        EXPECT_NE(session.find(pick.pointAfter), std::string::npos) << session;
    }
}

// Surface-local positions become the layout's: a pick on a second output,
// right of the first, lands where the press was on the whole desktop, and
// the clicker's absolute motion reaches that point there.
TEST_F(PickOnSway, APickOnASecondOutputIsPlacedInTheLayout) {
    ASSERT_EQ(swaymsg({"create_output"}), 0);
    ASSERT_EQ(swaymsg({"output", "HEADLESS-1", "position", "0", "0"}), 0);
    ASSERT_EQ(swaymsg({"output", "HEADLESS-2", "resolution", "1280x800", "position", "1280", "0"}), 0);
    ASSERT_EQ(swaymsg({"focus", "output", "HEADLESS-2"}), 0);
    e2e::writeFile(folders.sessionFile(), e2e::kCompositorSession);
    startPicking();
    ASSERT_GT(varnet, 0);
    // New windows open on the focused output; the surface is there once sway can focus it.
    ASSERT_TRUE(comesToHold([this] { return swaymsg({"[app_id=varnet-pick]", "focus"}) == 0; }, 30000));
    runOnCompositor({"click", "1692", "437"});
    EXPECT_TRUE(fileComesToHold(folders.sideFile("status.txt"), "\"picking\":false", 5000));
    // The clicker's absolute motion reaches the picked point there: the
    // logging window, moved to the second output, sees it at (412, 437)
    // once the compositor's pointer has been elsewhere.
    const size_t moved = sway.log->size();
    ASSERT_EQ(swaymsg({"[app_id=varnet-test-logger]", "move", "to", "output", "HEADLESS-2"}), 0);
    ASSERT_TRUE(sway.log->waitFor("configured 1280x800", moved, 10000));
    runOnCompositor({"click", "1500", "100"});
    const size_t from = sway.log->size();
    for (const char* message : {"updateSpammer|0,0,0,20,0,0,0,1,1", "toggleSpammer|"})
        ASSERT_EQ(e2e::waitForExit(e2e::spawnProcess({binary, "--command", message}, sway.env), 10000), 0);
    const auto lines = e2e::linesAfter(*sway.log, from, "button 272 1");
    EXPECT_GE(e2e::countOf(lines, "motion 412 437"), 1u) << ::testing::PrintToString(lines);
    ASSERT_EQ(endProgram(), 0);
    const std::string session = e2e::readFile(folders.sessionFile());
    EXPECT_NE(session.find("SETTINGS:0,0,0,20,0,0,0,1,1,1692,437,"), std::string::npos) << session;
}
