// One main process per user session: a second start hands over to the first
// (whose window comes to the front) and ends, even when both start at once.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

const char kTitle[] = "Varnet (Kestrine Edition)";

bool titledWithin(Display* display, Window window) {
    char* name = nullptr;
    bool titled = XFetchName(display, window, &name) && name && kTitle == std::string(name);
    if (name) XFree(name);
    if (titled) return true;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
    for (unsigned i = 0; i < count && !titled; ++i) titled = titledWithin(display, children[i]);
    if (children) XFree(children);
    return titled;
}

// Whether the program's shown top-level window lies above the cover window in
// the stacking order (the root's children come bottom first).
bool programAboveCover(Display* display, Window cover) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return false;
    int coverAt = -1, programAt = -1;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (children[i] == cover) coverAt = int(i);
        else if (XGetWindowAttributes(display, children[i], &attributes) &&
                 attributes.map_state == IsViewable && titledWithin(display, children[i]))
            programAt = int(i);
    }
    if (children) XFree(children);
    return programAt > coverAt && coverAt >= 0;
}

class SingleInstance : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    pid_t first = -1, second = -1;
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
    }
    void TearDown() override {
        for (pid_t pid : {first, second})
            if (pid > 0) e2e::terminateAndWait(pid, 5000);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
};

}  // namespace

TEST_F(SingleInstance, SecondStartBringsTheFirstWindowToTheFrontAndEnds) {
    first = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));

    Display* display = XOpenDisplay(x.display.c_str());
    ASSERT_NE(display, nullptr);
    Window cover = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1280, 1024, 0, 0, 0);
    XMapRaised(display, cover);
    XSync(display, False);
    ASSERT_FALSE(programAboveCover(display, cover));

    second = e2e::startVarnet(x, folders);
    EXPECT_EQ(e2e::waitForExit(second, 15000), 0);
    second = -1;
    bool front = false;
    for (int i = 0; i < 250 && !front; ++i) {
        front = programAboveCover(display, cover);
        if (!front) usleep(20000);
    }
    EXPECT_TRUE(front);
    XCloseDisplay(display);
    EXPECT_EQ(e2e::waitForExit(first, 0), -1) << "the first process must still run";
}

// Also without a runtime folder, before anything made the fallback folder the
// lock lives in: the lock is taken there, never skipped.
TEST_F(SingleInstance, TwoStartsAtOnceLeaveOneMainProcess) {
    const std::string temporary = folders.root + "/tmp";
    std::filesystem::create_directories(temporary);
    const std::string fallback = temporary + "/varnet-" + std::to_string(getuid());
    struct Case {
        const char* what;
        std::vector<std::string> env;
    };
    const Case cases[] = {
        {"in the runtime folder", {}},
        {"without XDG_RUNTIME_DIR", {"XDG_RUNTIME_DIR=", "TMPDIR=" + temporary}},
        {"with XDG_RUNTIME_DIR naming no folder", {"XDG_RUNTIME_DIR=" + folders.root + "/gone", "TMPDIR=" + temporary}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(fallback);
        first = e2e::startVarnet(x, folders, {}, "", c.env);
        second = e2e::startVarnet(x, folders, {}, "", c.env);
        // Whichever lost the race ends with 0; the other runs on with its window.
        pid_t ended = -1;
        int status = 0;
        for (int i = 0; i < 750 && ended <= 0; ++i) {
            for (pid_t pid : {first, second})
                if (ended <= 0 && waitpid(pid, &status, WNOHANG) == pid) ended = pid;
            if (ended <= 0) usleep(20000);
        }
        ASSERT_TRUE(ended == first || ended == second) << ended;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        pid_t& survivor = ended == first ? second : first;
        (ended == first ? first : second) = -1;
        ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
        EXPECT_EQ(waitpid(survivor, &status, WNOHANG), 0) << "the other process must still run";
        EXPECT_EQ(e2e::terminateAndWait(survivor, 10000), 0);
        survivor = -1;
        EXPECT_EQ(std::filesystem::is_directory(fallback), !c.env.empty());
    }
}
