// The real program on a headless mutter: its clicks and keys reach a native
// Wayland window through the desktop portal's remote desktop, once the test
// has answered the desktop's dialog as a person would. Everything starts
// once for all cases; the program's windows stay on a private X server, as
// they would on XWayland.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/compositor_cases.h"
#include "tests/e2e/compositor_suite.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/mutter_session.h"
#include "tests/e2e/pipe_sender.h"

namespace {

namespace fs = std::filesystem;

class OnMutter : public e2e::CompositorSuite<OnMutter> {
protected:
    static inline e2e::MutterSession mutter;

    static void SetUpTestSuite() {
        if (!e2e::mutterInstalled()) {
            skipReason = "mutter, PipeWire or the desktop portal is not installed (scripts/setup test installs them)";
            return;
        }
        makeSessionFolders();
        if (e2e::startMutter(mutter, folders.root, folders.runtime, VARNET_WAYLAND_CLIENT, setupFailure))
            setupFailure = startProgram();
        log = mutter.log;
    }

    // The program finds the compositor and the portal through the session's
    // variables, as it would on the desktop; the runtime folder it is given
    // is mutter's.
    static std::string startProgram() {
        x = e2e::startXServer();
        std::string failure;
        // A key typed while the dialog is not yet listening leaves it open,
        // or shared without input, which the program takes as a refusal: a
        // new start asks again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const size_t before = mutter.log->size();
            varnet = e2e::startVarnetIn(mutter.env, x, folders);
            if (!e2e::waitForPipe(e2e::pipePath(folders), 20000)) return "the program did not open its command pipe";
            failure.clear();
            if (e2e::allowInputOnDesktop(mutter, before, failure) && inputArrives()) return "";
            if (failure.empty()) failure = "the program's input never reached the window after the grant";
            endProgram();
        }
        return failure;
    }

    // The grant reaches the program a moment after the dialog closes; its
    // input goes to its X server until then. One click at a time until one
    // arrives.
    static bool inputArrives() {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const size_t from = mutter.log->size();
            if (!send("updateSpammer|0,0,0,20,0,0,0,1,1,300,200") || !send("toggleSpammer|")) return false;
            if (mutter.log->waitFor("button 272 0", from, 500)) return true;
        }
        return false;
    }

    static bool send(const std::string& text) {
        const pid_t pid = e2e::spawnProcess({VARNET_BINARY, "--command", text}, mutter.env);
        return e2e::waitForExit(pid, 10000) == 0;
    }

    static void TearDownTestSuite() {
        endProgram();
        e2e::stopMutter(mutter);
        removeServerAndFolders();
    }

    e2e::SendCommand sender() {
        return [](const std::string& text) { ASSERT_TRUE(send(text)) << text; };
    }
};

}  // namespace

TEST_F(OnMutter, CountedClicksAtAFixedPointArriveThere) {
    e2e::expectCountedClicksAtTheFixedPoint(*log, sender());
}

TEST_F(OnMutter, KeySpammerPressesTheSpaceBarCountedTimes) {
    e2e::expectCountedSpaceBarPresses(*log, sender());
}

// mutter moves the pointer again for each button record's position, and
// takes whole wheel steps. The numeric pad's 1 comes between two taps of
// NumLock, as on kwin; Shift the macro holds itself is a key like any other.
TEST_F(OnMutter, PlaybackSendsMovesButtonsAndKeysAsRecorded) {
    e2e::expectPlaybackSends(
        *log, sender(),
        {"motion 640 360", "motion 640 360", "button 272 1", "motion 640 360", "button 272 0", "motion 655 350",
         "motion 640 360", "button 273 1", "motion 640 360", "button 273 0", "motion 640 360", "button 274 1",
         "motion 640 360", "button 274 0", "motion 640 360", "button 275 1", "motion 640 360", "button 275 0",
         "motion 640 360", "button 276 1", "motion 640 360", "button 276 0", "axis 0 -1", "axis 0 -1", "key a 1",
         "key a 0", "key Num_Lock 1", "key Num_Lock 0", "key KP_1 1", "key Num_Lock 1", "key Num_Lock 0",
         "key Num_Lock 1", "key Num_Lock 0", "key KP_1 0", "key Num_Lock 1", "key Num_Lock 0", "key Shift_L 1",
         "key A 1", "key A 0", "key Shift_L 0"},
        {"motion ", "button ", "axis ", "key "});
}
