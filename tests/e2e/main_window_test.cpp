// The real program on a private X server: it starts, its page calls into it,
// and it shuts down in order.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/e2e/harness.h"

namespace {

const char kTitle[] = "Varnet (Kestrine Edition)";

// A page that proves the round trip: it asks for the settings and hands what
// it got back to the program, which writes it to theme.txt.
const char kEchoPage[] = R"(<!DOCTYPE html><html><body><script>
  (async () => {
    const settings = await window.getSettings();
    await window.setTheme('sms=' + settings.sms + ';tspd=' + settings.tspd);
  })();
</script></body></html>)";

// The program's own page, which takes its panels out as a pop-out does and
// brings them back through its own dock-back, then tells the program (through
// theme.txt) which panels came back taller or shorter than they left. The web
// engine of the browser tests lays such a panel out right; this one did not.
std::string pageThatDocksItsPanelsBack() {
    std::string page = e2e::readFile(std::string(VARNET_BUILD_DIR) + "/ui/index.html");
    const std::string probe = R"(<script>
  (async () => {
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
    while (getComputedStyle(document.body).visibility !== 'visible') await frame();
    const ids = ['clicker-panel', 'keyspam-panel', 'recorder-panel'];
    const heights = () => ids.map((id) => Math.round(document.getElementById(id).getBoundingClientRect().height));
    const before = heights();
    for (const id of ids) {
      Varnet.model.model.poppedOut.add(id);
      document.getElementById(id).hidden = true;
    }
    await frame();
    await frame();
    for (const id of ids) Varnet.panels.restorePanel(id);
    await frame();
    await frame();
    const after = heights();
    const changed = ids.flatMap((id, i) => (after[i] === before[i] ? [] : [id + ' ' + before[i] + ' to ' + after[i]]));
    await window.setTheme('docked back, changed: ' + (changed.join(', ') || 'nothing'));
  })();
</script>)";
    const size_t end = page.rfind("</body>");
    if (end != std::string::npos) page.insert(end, probe);
    return page;
}

class MainWindow : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    pid_t pid = -1;
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 5000);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
};

}  // namespace

TEST_F(MainWindow, PageCallsReachTheProgramAndGetItsAnswers) {
    pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, kEchoPage));
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    EXPECT_TRUE(e2e::waitForFileContent(folders.sideFile("theme.txt"), "sms=100;tspd=1", 20000))
        << e2e::readFile(folders.sideFile("theme.txt"));
}

TEST_F(MainWindow, APanelDockedBackIsAsTallAsBeforeItLeft) {
    pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, pageThatDocksItsPanelsBack()));
    ASSERT_TRUE(e2e::waitForFileHolding(folders.sideFile("theme.txt"), "docked back", 30000));
    EXPECT_EQ(e2e::readFile(folders.sideFile("theme.txt")), "docked back, changed: nothing");
}

TEST_F(MainWindow, TerminationSignalEndsInOrderWithExitCodeZero) {
    pid = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    auto start = std::chrono::steady_clock::now();
    int code = e2e::terminateAndWait(pid, 5000);
    auto took = std::chrono::steady_clock::now() - start;
    pid = -1;
    EXPECT_EQ(code, 0);
    EXPECT_LT(took, std::chrono::seconds(3));
}

TEST_F(MainWindow, InterruptEndsLikeClosingTheWindow) {
    pid = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    kill(pid, SIGINT);
    EXPECT_EQ(e2e::waitForExit(pid, 5000), 0);
    pid = -1;
}

TEST_F(MainWindow, ClosingTheWindowEndsTheProcess) {
    pid = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    ASSERT_TRUE(e2e::closeWindow(x, kTitle));
    EXPECT_EQ(e2e::waitForExit(pid, 5000), 0);
    pid = -1;
}

TEST_F(MainWindow, MissingPageShowsTheErrorBoxThenAnEmptyWindow) {
    pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, ""));
    ASSERT_TRUE(e2e::waitForWindow(x, "UI Error", 20000));
    ASSERT_TRUE(e2e::closeWindow(x, "UI Error"));
    EXPECT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    EXPECT_EQ(e2e::terminateAndWait(pid, 5000), 0);
    pid = -1;
}

TEST_F(MainWindow, StartUpCreatesItsFoldersUnderTheXdgPlaces) {
    pid = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    EXPECT_TRUE(e2e::waitForFile(folders.config + "/varnet", 1000));
    EXPECT_TRUE(e2e::waitForFile(folders.data + "/Varnet", 1000));
}

// A data or cache home the web engine cannot use (here a plain file) would
// kill its web process before any window: the engine gets a temporary home,
// the page runs, standard error says so, and the folder goes at exit.
TEST_F(MainWindow, AnUnusableDataOrCacheHomeStillShowsThePage) {
    struct Case {
        const char* variable;
        const char* name;
    };
    for (const Case& home : {Case{"XDG_DATA_HOME", "data"}, Case{"XDG_CACHE_HOME", "cache"}}) {
        SCOPED_TRACE(home.variable);
        const std::string plainFile = folders.root + "/plain-" + home.name;
        e2e::writeFile(plainFile, "not a folder");
        std::filesystem::remove(folders.sideFile("theme.txt"));
        int errors[2];
        ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
        pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, kEchoPage),
                               {std::string(home.variable) + "=" + plainFile}, errors[1]);
        close(errors[1]);
        EXPECT_TRUE(e2e::waitForFileContent(folders.sideFile("theme.txt"), "sms=100;tspd=1", 30000));
        EXPECT_EQ(e2e::terminateAndWait(pid, 10000), 0);
        pid = -1;
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = read(errors[0], buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
        close(errors[0]);
        const std::string told = std::string("the web view cannot keep its ") + home.name + " in " +
                                 plainFile + "/webkitgtk (Not a directory); it uses ";
        const size_t at = said.find(told);
        ASSERT_NE(at, std::string::npos) << said;
        const size_t start = at + told.size();
        const std::string temporary = said.substr(start, said.find(' ', start) - start);
        EXPECT_FALSE(std::filesystem::exists(temporary)) << temporary << " left behind";
    }
}
