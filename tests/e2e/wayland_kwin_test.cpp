// The real program on a headless kwin: its clicks and keys reach a native
// Wayland window through KDE's fake input. kwin starts once for all cases,
// on a session bus of its own; the program's windows stay on a private X
// server, as they would on XWayland.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/sway_session.h"

namespace {

namespace fs = std::filesystem;

const char kKwin[] = "/usr/bin/kwin_wayland";
const char kDbusDaemon[] = "/usr/bin/dbus-daemon";
const char kSocketName[] = "wl-kwin";

// The clicker's fixed point is (300, 200). The macro moves to (640, 360),
// clicks every button there, moves by (15, -10), turns the wheel two notches
// up, and types A, the numeric
// pad's 1 (a key on its second level) and, with the left Shift held, A again.
const char kSession[] =
    "SETTINGS:0,0,0,100,0,0,1,10,1,300,200,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\n"
    "CURRENT:0\n"
    "SETTINGS2:0,0,0,0,0,0,1,0,0,0,0,0,0,0,1\n"
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

size_t countOf(const std::vector<std::string>& lines, const std::string& text) {
    return size_t(std::count(lines.begin(), lines.end(), text));
}

class OnKwin : public ::testing::Test {
protected:
    static inline std::string skipReason, setupFailure;
    static inline e2e::XServer x;
    static inline e2e::Folders folders;
    static inline pid_t bus = -1, kwin = -1, logger = -1, varnet = -1;
    static inline e2e::WindowLog* log = nullptr;
    static inline std::vector<std::string> sessionEnv;

    static void SetUpTestSuite() {
        if (access(kKwin, X_OK) != 0 || access(kDbusDaemon, X_OK) != 0) {
            skipReason = "kwin_wayland or dbus-daemon is not installed (scripts/setup test installs them)";
            return;
        }
        folders = e2e::makeFolders();
        fs::create_directories(folders.data + "/Varnet");
        e2e::writeFile(folders.sessionFile(), kSession);
        setupFailure = startKwin();
        if (setupFailure.empty()) setupFailure = startLogger();
        if (setupFailure.empty()) setupFailure = startProgram();
    }

    // kwin offers the fake input to the program our menu entry names, as it
    // would to the installed one: the entry as packaged, naming the build's.
    static void installMenuEntry(const std::string& home) {
        const std::string applications = home + "/.local/share/applications";
        fs::create_directories(applications);
        std::string entry = e2e::readFile(std::string(VARNET_SOURCE_DIR) + "/packaging/linux/org.varnet.Varnet.desktop.in");
        const std::string placeholder = "@VARNET_BINDIR@/varnet";
        entry.replace(entry.find(placeholder), placeholder.size(), VARNET_BINARY);
        e2e::writeFile(applications + "/org.varnet.Varnet.desktop", entry);
    }

    // kwin as the recipes run it: a plain copy (the installed one carries a
    // capability a container cannot grant), still named kwin_wayland so that
    // it finds its Qt plugins.
    static std::string startKwin() {
        const std::string bin = folders.root + "/bin";
        fs::create_directories(bin);
        fs::copy_file(kKwin, bin + "/kwin_wayland");
        installMenuEntry(folders.root);
        chmod(folders.runtime.c_str(), 0700);
        const std::string busPath = folders.root + "/bus";
        bus = e2e::spawnProcess({kDbusDaemon, "--session", "--nofork", "--address=unix:path=" + busPath}, {});
        if (bus < 0 || !e2e::waitForFile(busPath, 10000)) return "the session bus did not start";
        sessionEnv = {"XDG_RUNTIME_DIR=" + folders.runtime, "WAYLAND_DISPLAY=" + std::string(kSocketName),
                      "DBUS_SESSION_BUS_ADDRESS=unix:path=" + busPath};
        std::vector<std::string> env = sessionEnv;
        env.insert(env.end(), {"HOME=" + folders.root, "XDG_DATA_HOME=" + folders.root + "/.local/share", "KWIN_COMPOSE=Q"});
        kwin = e2e::spawnProcess({bin + "/kwin_wayland", "--virtual", "--socket", kSocketName, "--width", "1280",
                                  "--height", "800", "--no-lockscreen"},
                                 env);
        if (kwin < 0 || !e2e::waitForFile(folders.runtime + "/" + kSocketName, 20000)) return "kwin did not start";
        return "";
    }

    static std::string startLogger() {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return "no pipe for the logging window";
        logger = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "log"}, sessionEnv, out[1]);
        close(out[1]);
        log = new e2e::WindowLog;
        log->readFrom(out[0]);
        return log->waitFor("configured 1280x800", 0, 15000) ? "" : "the logging window was never configured";
    }

    // The program finds the compositor through WAYLAND_DISPLAY as it would
    // in the session; the runtime folder it is given is kwin's.
    static std::string startProgram() {
        x = e2e::startXServer();
        setenv("WAYLAND_DISPLAY", kSocketName, 1);
        varnet = e2e::startVarnet(x, folders);
        unsetenv("WAYLAND_DISPLAY");
        if (!e2e::waitForPipe(e2e::pipePath(folders), 20000)) return "the program did not open its command pipe";
        // The seat gains a pointer when kwin makes the program's fake device.
        if (!log->waitFor("seat pointer keyboard", 0, 10000))
            return "the program made no fake input device: did kwin refuse it despite the menu entry?";
        return "";
    }

    static void TearDownTestSuite() {
        for (pid_t* pid : {&varnet, &logger, &kwin, &bus})
            if (*pid > 0) e2e::terminateAndWait(*pid, 5000), *pid = -1;
        if (log) {
            if (log->reader.joinable()) log->reader.join();
            delete log;
            log = nullptr;
        }
        e2e::stopXServer(x);
        if (!folders.root.empty()) e2e::removeFolders(folders);
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_EQ(setupFailure, "");
    }
    void command(const std::string& text) {
        const pid_t pid = e2e::spawnProcess({VARNET_BINARY, "--command", text}, sessionEnv);
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0) << text;
    }
    std::vector<std::string> linesAfter(size_t from, const std::string& first) {
        EXPECT_TRUE(log->waitFor(first, from, 15000)) << "never saw " << first;
        return log->untilQuiet(from, 700, 15000);
    }
};

}  // namespace

TEST_F(OnKwin, CountedClicksAtAFixedPointArriveThere) {
    const size_t from = log->size();
    command("updateSpammer|0,0,0,20,0,0,0,4,1,300,200");
    command("toggleSpammer|");
    const auto lines = linesAfter(from, "button 272 1");
    EXPECT_EQ(countOf(lines, "button 272 1"), 4u);
    EXPECT_EQ(countOf(lines, "button 272 0"), 4u);
    EXPECT_GE(countOf(lines, "motion 300 200"), 1u);
}

TEST_F(OnKwin, KeySpammerPressesTheSpaceBarCountedTimes) {
    const size_t from = log->size();
    command("updateKeySpam|0,0,0,10,0,4");
    command("toggleKeySpam|");
    const auto lines = linesAfter(from, "key space 1");
    EXPECT_EQ(countOf(lines, "key space 1"), 4u);
    EXPECT_EQ(countOf(lines, "key space 0"), 4u);
}

// kwin takes modifiers from the keys alone: the numeric pad's 1 comes
// between two taps of NumLock, which its level needs, and a Shift the macro
// holds itself is left alone.
TEST_F(OnKwin, PlaybackSendsMovesButtonsAndKeysAsRecorded) {
    const size_t from = log->size();
    command("togglePlayback|");
    const std::vector<std::string> expected{
        "motion 640 360", "button 272 1", "button 272 0", "motion 655 350", "motion 640 360",
        "button 273 1", "button 273 0", "button 274 1", "button 274 0", "button 275 1", "button 275 0",
        "button 276 1", "button 276 0", "scroll 0 -15", "scroll 0 -15", "key a 1", "key a 0",
        "key Num_Lock 1", "key Num_Lock 0", "key KP_1 1", "key Num_Lock 1", "key Num_Lock 0",
        "key Num_Lock 1", "key Num_Lock 0", "key KP_1 0", "key Num_Lock 1", "key Num_Lock 0",
        "key Shift_L 1", "key A 1", "key A 0", "key Shift_L 0"};
    std::vector<std::string> seen;
    for (const std::string& line : linesAfter(from, "key Shift_L 0"))
        for (const char* kind : {"motion ", "button ", "scroll ", "key "})
            if (line.rfind(kind, 0) == 0) seen.push_back(line);
    // Playback glides to its first point from wherever the pointer was.
    const auto first = std::find(seen.begin(), seen.end(), expected.front());
    for (auto glide = seen.begin(); glide != first; ++glide) EXPECT_EQ(glide->rfind("motion ", 0), 0u) << *glide;
    EXPECT_EQ(std::vector<std::string>(first, seen.end()), expected);
}
