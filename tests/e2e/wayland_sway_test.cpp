// The real program on a headless sway: its clicks, keys and moves reach a
// native Wayland window through the compositor's virtual devices, and its
// hotkeys are sway bindings. sway starts once for all cases; its windows stay
// on a private X server, as they would on XWayland.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/compositor_cases.h"
#include "tests/e2e/compositor_suite.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/person_input.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/sway_session.h"

namespace {

namespace fs = std::filesystem;

// The suite's sway and program; Suite names the suite, which may give its own
// layout (kLayout: the person's, on the X server and the program's virtual
// keyboard, as it would come from the seat) and session file (kSession).
template <typename Suite>
class SwaySuite : public e2e::CompositorSuite<Suite> {
protected:
    using Base = e2e::CompositorSuite<Suite>;
    using Base::folders, Base::log, Base::setupFailure, Base::skipReason, Base::varnet, Base::x;
    static inline e2e::SwaySession sway;
    static inline std::string program, libraryPath;

    static void SetUpTestSuite() {
        if (access(e2e::kSway, X_OK) != 0) {
            skipReason = "sway is not installed (scripts/setup test installs it)";
            return;
        }
        Base::makeSessionFolders();
        if (Suite::kSession) e2e::writeFile(folders.sessionFile(), Suite::kSession);
        chmod(folders.root.c_str(), 0755);
        copyProgram();
        e2e::giveToCompositorUser(folders.root);
        // folders.runtime is the compositor's runtime folder too.
        const bool started = e2e::startSway(sway, folders.root, VARNET_WAYLAND_CLIENT, setupFailure, {libraryPath},
                                            personsOwnBinding());
        log = sway.log;
        if (started) startProgram();
    }

    // The person's configuration binds F7, the Play hotkey's key, through a
    // variable, as configurations do with $mod.
    static std::string ownBindingMark() { return folders.root + "/own-binding-ran"; }
    static std::string personsOwnBinding() {
        return "set $playKey F7\nbindsym $playKey exec touch " + ownBindingMark() + "\n";
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
        env.push_back(std::string("XKB_DEFAULT_LAYOUT=") + Suite::kLayout);
        return env;
    }

    // The program reads the compositor's sockets from its environment, as
    // it would in the session; its windows go to the private X server.
    static void startProgram() {
        x = e2e::startXServer();
        const pid_t layout = e2e::spawnProcess({"/usr/bin/setxkbmap", "-display", x.display, Suite::kLayout}, {});
        if (e2e::waitForExit(layout, 10000) != 0) {
            setupFailure = "setxkbmap failed";
            return;
        }
        const std::vector<std::string> argv = e2e::asCompositorUser({program});
        varnet = e2e::startVarnetIn(programEnv(), x, folders, std::vector<std::string>(argv.begin() + 1, argv.end()),
                                    argv[0]);
        if (!e2e::waitForPipe(e2e::pipePath(folders), 20000)) {
            setupFailure = "the program did not open its command pipe";
            return;
        }
        // The seat gains our pointer and keyboard at start-up, and the window binds them.
        if (!log->waitFor("seat pointer keyboard", 0, 10000)) setupFailure = "the program made no virtual devices";
    }

    static void TearDownTestSuite() {
        Base::endProgram();
        e2e::stopSway(sway);
        Base::removeServerAndFolders();
    }

    // The command line, run as the program's user: the pipe takes no one else.
    void command(const std::string& text) {
        const pid_t pid = e2e::spawnProcess(e2e::asCompositorUser({program, "--command", text}), programEnv());
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0) << text;
    }
    std::vector<std::string> linesAfter(size_t from, const std::string& first) {
        return e2e::linesAfter(*log, from, first);
    }
    e2e::SendCommand sender() {
        return [this](const std::string& text) { command(text); };
    }
    e2e::PressKey presser() {
        return [](const char* keysym) {
            const pid_t pid = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "press", keysym}, sway.env);
            ASSERT_EQ(e2e::waitForExit(pid, 10000), 0);
        };
    }
};

class OnSway : public SwaySuite<OnSway> {
public:
    static constexpr const char* kLayout = "us";
    static constexpr const char* kSession = nullptr;
};

// A German person's macro: AltGr held over Q, which types @ there.
class OnSwayGerman : public SwaySuite<OnSwayGerman> {
public:
    static constexpr const char* kLayout = "de";
    static constexpr const char* kSession =
        "SETTINGS:0,0,0,100,0,0,1,10,1,300,200,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\n"
        "CURRENT:0\n"
        "PROFILE:Default Tracking Profile\n"
        "3,0.10,0,0,0,165,1,0\n3,0.11,0,0,0,81,1,0\n3,0.12,0,0,0,81,0,0\n3,0.13,0,0,0,165,0,0\n";
};

}  // namespace

TEST_F(OnSwayGerman, AltGrAndQTypeAtThroughThePersonsLayout) {
    const size_t from = log->size();
    command("togglePlayback|");
    const std::vector<std::string> keys = linesAfter(from, "key ISO_Level3_Shift 1");
    EXPECT_EQ(e2e::countOf(keys, "key at 1"), 1u) << ::testing::PrintToString(keys);
}

// The person switches the layout while the program runs: a keyboard of that
// layout types, and the compositor hands every client its keymap. The same
// macro then presses Right Alt and Q as that layout has them: q on a US
// keyboard, @ on a German one again.
TEST_F(OnSwayGerman, PlaybackFollowsALayoutSwitchedWhileTheProgramRuns) {
    const auto typeOn = [this](const char* layout) {
        const size_t from = log->size();
        std::vector<std::string> env = sway.env;
        env.push_back(std::string("XKB_DEFAULT_LAYOUT=") + layout);
        const pid_t pid = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "press", "Shift_L"}, env);
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0);
        ASSERT_TRUE(log->waitFor("key Shift_L 0", from, 10000)) << layout;
    };
    typeOn("us");
    size_t from = log->size();
    command("togglePlayback|");
    std::vector<std::string> keys = linesAfter(from, "key ISO_Level3_Shift 1");
    EXPECT_EQ(e2e::countOf(keys, "key q 1"), 1u) << ::testing::PrintToString(keys);
    EXPECT_EQ(e2e::countOf(keys, "key at 1"), 0u) << ::testing::PrintToString(keys);
    typeOn("de");
    from = log->size();
    command("togglePlayback|");
    keys = linesAfter(from, "key ISO_Level3_Shift 1");
    EXPECT_EQ(e2e::countOf(keys, "key at 1"), 1u) << ::testing::PrintToString(keys);
}

TEST_F(OnSway, CountedClicksAtAFixedPointArriveThere) {
    e2e::expectCountedClicksAtTheFixedPoint(*log, sender());
}

TEST_F(OnSway, KeySpammerPressesTheSpaceBarCountedTimes) {
    e2e::expectCountedSpaceBarPresses(*log, sender());
}

TEST_F(OnSway, PlaybackSendsEveryKindOfRecordAsRecorded) {
    e2e::expectPlaybackSends(
        *log, sender(),
        {"motion 640 360", "button 272 1", "button 272 0", "motion 655 350", "motion 640 360", "button 273 1",
         "button 273 0", "button 274 1", "button 274 0", "button 275 1", "button 275 0", "button 276 1",
         "button 276 0", "axis 0 -1", "axis 0 -1", "key a 1", "key a 0", "key KP_1 1", "key KP_1 0",
         "key Shift_L 1", "key A 1", "key A 0", "key Shift_L 0"},
        {"motion ", "button ", "axis ", "key "});
}

TEST_F(OnSway, TheClickerHotkeyIsASwayBinding) {
    e2e::expectTheClickerHotkeyTakesItsKey(*log, sender(), presser());
}

TEST_F(OnSway, AHotkeyWithAModifierIsBoundWithIt) {
    e2e::expectAHotkeyWithAModifierTakesOnlyThatCombination(*log, sender(), presser());
}

// A held key repeats; a repeat of a toggle would stop what the press
// started and start it again (a recording anew, its events cleared).
TEST_F(OnSway, AHeldHotkeyTogglesOnce) {
    command("updateSpammer|0,0,0,20,0,0,0,3,0");
    const size_t from = log->size();
    const pid_t holder = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "hold", "F6", "1500"}, sway.env);
    ASSERT_EQ(e2e::waitForExit(holder, 10000), 0);
    const auto lines = linesAfter(from, "button 272 1");
    EXPECT_EQ(e2e::countOf(lines, "button 272 1"), 3u);
}

// While Record waits for its key, sway's bindings are dropped, and F6, the
// clicker's key, pressed by a person on the program's window (its X server,
// as XWayland brings keys to a focused X window), reaches the program: the
// two hotkeys swap, and sway's bindings follow them.
TEST_F(OnSway, ReassigningRecordOntoTheClickersKeySwapsThem) {
    const std::string status = folders.sideFile("status.txt");
    ASSERT_TRUE(e2e::waitForFileHolding(status, R"("hkRec":"F8","hkPlay":"F7","hkAuto":"F6")", 10000))
        << e2e::readFile(status);
    command("reassignKey|rec");
    ASSERT_TRUE(e2e::waitForFileHolding(status, R"("reassigning":"rec")", 10000)) << e2e::readFile(status);
    e2e::PersonInput person;
    ASSERT_TRUE(e2e::openPersonInput(person, x.display, false));
    e2e::personTap(person, XK_F6);
    e2e::closePersonInput(person);
    ASSERT_TRUE(e2e::waitForFileHolding(status, R"("hkRec":"F6","hkPlay":"F7","hkAuto":"F8")", 10000))
        << e2e::readFile(status);
    EXPECT_TRUE(e2e::waitForFileHolding(status, R"("reassigning":"")", 10000)) << e2e::readFile(status);

    command("updateSpammer|0,0,0,20,0,0,0,3,0");
    const size_t from = log->size();
    presser()("F8");
    const auto lines = linesAfter(from, "button 272 1");
    EXPECT_EQ(e2e::countOf(lines, "button 272 1"), 3u);
    EXPECT_EQ(e2e::countOf(lines, "key F8 1"), 0u);
    presser()("F6");
    EXPECT_TRUE(e2e::waitForFileHolding(status, R"({"state":"Recording")", 10000)) << e2e::readFile(status);
    presser()("F6");
    EXPECT_TRUE(e2e::waitForFileHolding(status, R"({"state":"Idle")", 10000)) << e2e::readFile(status);
}

// The key spammer's text on a US layout, which has no € nor ñ: those go on
// empty keys lent them in the keymap the window is handed, and the keys
// around them type as the layout has them, Shift for the capital included.
TEST_F(OnSway, TheTyperTypesCharactersTheLayoutLacks) {
    const size_t from = log->size();
    command("updateKeySpam|0,0,0,10,0,1");
    command(R"(setKeyTyper|[1,false,0,"a\u20ac\u00f1\u00d1B\u20acb"])");
    command("toggleKeySpam|");
    std::vector<std::string> keys;
    for (const std::string& line : linesAfter(from, "key a 1"))
        if (line.rfind("key ", 0) == 0) keys.push_back(line);
    command(R"(setKeyTyper|[0,false,0,""])");
    const std::vector<std::string> expected = {
        "key a 1", "key a 0", "key EuroSign 1", "key EuroSign 0", "key ntilde 1", "key ntilde 0",
        "key Ntilde 1", "key Ntilde 0", "key B 1", "key B 0", "key EuroSign 1", "key EuroSign 0", "key b 1",
        "key b 0"};
    EXPECT_EQ(keys, expected);
}

// Last of the cases on sway: the program's end takes its bindings with it,
// so sway has no F6 binding left to remove, and the person's own binding on
// F7, which the Play hotkey took while the program ran, works again.
TEST_F(OnSway, EndingTheProgramRemovesItsBindings) {
    const auto unbind = [] {
        return e2e::waitForExit(e2e::spawnProcess({"/usr/bin/swaymsg", "unbindsym", "F5"}, sway.env), 10000);
    };
    ASSERT_NE(unbind(), 0) << "F5 was never bound: swaymsg must fail to remove it";
    ASSERT_EQ(e2e::terminateAndWait(varnet, 10000), 0);
    varnet = -1;
    EXPECT_NE(e2e::waitForExit(e2e::spawnProcess({"/usr/bin/swaymsg", "unbindsym", "F6"}, sway.env), 10000), 0);
    presser()("F7");
    EXPECT_TRUE(e2e::waitForFile(ownBindingMark(), 10000)) << "the person's F7 binding is gone";
}

// Its windows need XWayland; a session without it is told so, and the program
// ends with 1, as every start whose window cannot be shown.
TEST(WithoutXWayland, StartUpSaysWhatIsMissingAndEnds) {
    const e2e::Folders folders = e2e::makeFolders();
    const e2e::Finished finished =
        e2e::runVarnetToEnd(folders, {}, 30000, {"DISPLAY=", "WAYLAND_DISPLAY=wayland-none", "GDK_BACKEND=x11"});
    e2e::removeFolders(folders);
    EXPECT_EQ(finished.code, 1);
    EXPECT_NE(finished.errors.find("no XWayland"), std::string::npos) << finished.errors;
}
