// The real program on a headless sway: its clicks, keys and moves reach a
// native Wayland window through the compositor's virtual devices, and its
// hotkeys are sway bindings. sway starts once for all cases; its windows stay
// on a private X server, as they would on XWayland.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/sway_session.h"

namespace {

namespace fs = std::filesystem;

size_t countOf(const std::vector<std::string>& lines, const std::string& text) {
    return size_t(std::count(lines.begin(), lines.end(), text));
}

// The clicker's fixed point is (300, 200). The macro moves to (640, 360),
// clicks every button there, moves by (15, -10), turns the wheel two notches
// up, and types A, the numeric pad's 1 (a key on its second level) and,
// with the left Shift held, A again.
const char kSession[] =
    "SETTINGS:0,0,0,100,0,0,1,10,1,300,200,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\n"
    "CURRENT:0\n"
    "SETTINGS2:0,0,0,0,0,0,1,0,0,0,0,0,0,0,1\n"  // the key spammer's hotkey is Ctrl+F9
    "PROFILE:Default Tracking Profile\n"
    "PROFILESETTINGS:0,0,0,100,0,0,1,10,1,300,200,0,0,0,100,1,10,32\n"
    "0,0.01,640,360,0,0,0,0\n"
    "2,0.05,640,360,2,0,0,0\n2,0.06,640,360,4,0,0,0\n"
    "1,0.10,15,-10,0,0,0,0\n"
    "2,0.15,640,360,8,0,0,0\n2,0.16,640,360,16,0,0,0\n"
    "2,0.20,640,360,32,0,0,0\n2,0.21,640,360,64,0,0,0\n"
    "2,0.25,640,360,65664,0,0,0\n2,0.26,640,360,65792,0,0,0\n"
    "2,0.30,640,360,131200,0,0,0\n2,0.31,640,360,131328,0,0,0\n"
    "4,0.35,0,0,0,0,0,240\n"
    "3,0.40,0,0,0,65,1,0\n3,0.41,0,0,0,65,0,0\n"
    "3,0.45,0,0,0,97,1,0\n3,0.46,0,0,0,97,0,0\n"
    "3,0.50,0,0,0,160,1,0\n3,0.51,0,0,0,65,1,0\n3,0.52,0,0,0,65,0,0\n3,0.53,0,0,0,160,0,0\n";

class OnSway : public ::testing::Test {
protected:
    static inline std::string skipReason, setupFailure;
    static inline e2e::XServer x;
    static inline e2e::Folders folders;
    static inline e2e::SwaySession sway;
    static inline e2e::WindowLog* log = nullptr;
    static inline pid_t varnet = -1;
    static inline std::string program, libraryPath;

    static void SetUpTestSuite() {
        if (access(e2e::kSway, X_OK) != 0) {
            skipReason = "sway is not installed (scripts/setup test installs it)";
            return;
        }
        folders = e2e::makeFolders();
        chmod(folders.root.c_str(), 0755);
        fs::create_directories(folders.data + "/Varnet");
        e2e::writeFile(folders.sessionFile(), kSession);
        copyProgram();
        e2e::giveToCompositorUser(folders.root);
        // folders.runtime is the compositor's runtime folder too.
        const bool started = e2e::startSway(sway, folders.root, VARNET_WAYLAND_CLIENT, setupFailure, {libraryPath});
        log = sway.log;
        if (started) startProgram();
    }

    // The program runs as the compositor's user, who may not reach the build
    // folder (a clone under /root): a copy of it, its page and its web view
    // library in the test's own folder, found through LD_LIBRARY_PATH (also
    // by the commands sway's bindings run).
    static void copyProgram() {
        const std::string app = folders.root + "/app";
        fs::create_directories(app + "/ui");
        fs::create_directories(app + "/lib");
        fs::copy_file(VARNET_BINARY, app + "/varnet");
        fs::copy_file(std::string(VARNET_BUILD_DIR) + "/ui/index.html", app + "/ui/index.html");
        fs::copy_file(std::string(VARNET_BUILD_DIR) + "/lib/libwebview.so.0.12", app + "/lib/libwebview.so.0.12");
        program = app + "/varnet";
        libraryPath = "LD_LIBRARY_PATH=" + app + "/lib";
    }

    static std::vector<std::string> programEnv() {
        std::vector<std::string> env = sway.env;
        env.push_back(libraryPath);
        return env;
    }

    // The program reads the compositor's sockets from its environment, as
    // it would in the session; its windows go to the private X server.
    static void startProgram() {
        x = e2e::startXServer();
        for (const std::string& variable : programEnv()) {
            const size_t equals = variable.find('=');
            setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
        }
        const std::vector<std::string> argv = e2e::asCompositorUser({program});
        varnet = e2e::startVarnet(x, folders, std::vector<std::string>(argv.begin() + 1, argv.end()), argv[0]);
        for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK", "LD_LIBRARY_PATH"}) unsetenv(name);
        if (!e2e::waitForPipe(e2e::pipePath(folders), 20000)) {
            setupFailure = "the program did not open its command pipe";
            return;
        }
        // The seat gains our pointer and keyboard at start-up, and the window binds them.
        if (!log->waitFor("seat pointer keyboard", 0, 10000)) setupFailure = "the program made no virtual devices";
    }

    static void TearDownTestSuite() {
        if (varnet > 0) e2e::terminateAndWait(varnet, 5000), varnet = -1;
        e2e::stopSway(sway);
        log = nullptr;
        e2e::stopXServer(x);
        if (!folders.root.empty()) e2e::removeFolders(folders);
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_EQ(setupFailure, "");
    }
    // The command line, run as the program's user: the pipe takes no one else.
    void command(const std::string& text) {
        const pid_t pid = e2e::spawnProcess(e2e::asCompositorUser({program, "--command", text}), programEnv());
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0) << text;
    }
    // The window's lines from from on, once the first awaited one has come
    // and then nothing more for a while.
    std::vector<std::string> linesAfter(size_t from, const std::string& first) {
        EXPECT_TRUE(log->waitFor(first, from, 15000)) << "never saw " << first;
        return log->untilQuiet(from, 700, 15000);
    }
    void pressOnCompositor(const char* keysym) {
        const pid_t pid = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "press", keysym}, sway.env);
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0);
    }
};

}  // namespace

TEST_F(OnSway, CountedClicksAtAFixedPointArriveThere) {
    const size_t from = log->size();
    command("updateSpammer|0,0,0,20,0,0,0,4,1,300,200");
    command("toggleSpammer|");
    const auto lines = linesAfter(from, "button 272 1");
    EXPECT_EQ(countOf(lines, "button 272 1"), 4u);
    EXPECT_EQ(countOf(lines, "button 272 0"), 4u);
    EXPECT_GE(countOf(lines, "motion 300 200"), 1u);
}

TEST_F(OnSway, KeySpammerPressesTheSpaceBarCountedTimes) {
    const size_t from = log->size();
    command("updateKeySpam|0,0,0,10,0,4");
    command("toggleKeySpam|");
    const auto lines = linesAfter(from, "key space 1");
    EXPECT_EQ(countOf(lines, "key space 1"), 4u);
    EXPECT_EQ(countOf(lines, "key space 0"), 4u);
}

TEST_F(OnSway, PlaybackSendsEveryKindOfRecordAsRecorded) {
    const size_t from = log->size();
    command("togglePlayback|");
    const std::vector<std::string> expected{
        "motion 640 360", "button 272 1", "button 272 0", "motion 655 350", "motion 640 360",
        "button 273 1", "button 273 0", "button 274 1", "button 274 0", "button 275 1", "button 275 0",
        "button 276 1", "button 276 0", "axis 0 -1", "axis 0 -1", "key a 1", "key a 0", "key KP_1 1", "key KP_1 0",
        "key Shift_L 1", "key A 1", "key A 0", "key Shift_L 0"};
    std::vector<std::string> seen;
    for (const std::string& line : linesAfter(from, "key Shift_L 0"))
        for (const char* kind : {"motion ", "button ", "axis ", "key "})
            if (line.rfind(kind, 0) == 0) seen.push_back(line);
    // Playback glides to its first point from wherever the pointer was.
    const auto first = std::find(seen.begin(), seen.end(), expected.front());
    for (auto glide = seen.begin(); glide != first; ++glide) EXPECT_EQ(glide->rfind("motion ", 0), 0u) << *glide;
    EXPECT_EQ(std::vector<std::string>(first, seen.end()), expected);
}

TEST_F(OnSway, TheClickerHotkeyIsASwayBinding) {
    command("updateSpammer|0,0,0,20,0,0,0,3,0");
    const size_t from = log->size();
    pressOnCompositor("F6");
    const auto lines = linesAfter(from, "button 272 1");
    EXPECT_EQ(countOf(lines, "button 272 1"), 3u);
    // The binding took the key: the focused window never saw it.
    EXPECT_EQ(countOf(lines, "key F6 1"), 0u);
}

// A hotkey with a modifier is bound with it: a plain F9 reaches the window,
// Ctrl+F9 starts the key spammer.
TEST_F(OnSway, AHotkeyWithAModifierIsBoundWithIt) {
    command("updateKeySpam|0,0,0,20,0,3");
    const size_t plain = log->size();
    pressOnCompositor("F9");
    EXPECT_EQ(countOf(linesAfter(plain, "key F9 0"), "key space 1"), 0u);
    const size_t combined = log->size();
    pressOnCompositor("Ctrl+F9");
    const auto lines = linesAfter(combined, "key space 0");
    EXPECT_EQ(countOf(lines, "key F9 1"), 0u);
    EXPECT_EQ(countOf(lines, "key space 1"), 3u);
}

// Last of the cases on sway: the program's end takes its bindings with it,
// so sway has no F6 binding left to remove.
TEST_F(OnSway, EndingTheProgramRemovesItsBindings) {
    const auto unbind = [] {
        return e2e::waitForExit(e2e::spawnProcess({"/usr/bin/swaymsg", "unbindsym", "F5"}, sway.env), 10000);
    };
    ASSERT_NE(unbind(), 0) << "F5 was never bound: swaymsg must fail to remove it";
    ASSERT_EQ(e2e::terminateAndWait(varnet, 10000), 0);
    varnet = -1;
    EXPECT_NE(e2e::waitForExit(e2e::spawnProcess({"/usr/bin/swaymsg", "unbindsym", "F6"}, sway.env), 10000), 0);
}

// Its windows need XWayland; a session without it is told so, and the program ends.
TEST(WithoutXWayland, StartUpSaysWhatIsMissingAndEnds) {
    const e2e::Folders folders = e2e::makeFolders();
    const e2e::Finished finished =
        e2e::runVarnetToEnd(folders, {}, 30000, {"DISPLAY=", "WAYLAND_DISPLAY=wayland-none", "GDK_BACKEND=x11"});
    e2e::removeFolders(folders);
    EXPECT_EQ(finished.code, 0);
    EXPECT_NE(finished.errors.find("no XWayland"), std::string::npos) << finished.errors;
}
