// The side files that pop-out panels read are written when what they hold
// changes, and only then: a page that polls the status over and over while
// nothing happens leaves both untouched.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

// One status poll, twenty polls with nothing new, then an edit of the list
// and one more poll. Each stage ends with the write of a file of its own
// (two writes of one file in a row would reach the watch as one).
const char kPollingPage[] = R"(<!DOCTYPE html><html><body><script>
  (async () => {
    await window.getTrackerStatus();
    await window.setTheme('first-poll');
    for (let i = 0; i < 20; i++) await window.getTrackerStatus();
    await window.setAppSetting('startMinimized', 0);
    await window.deleteEvent(0);
    await window.getTrackerStatus();
    await window.setTheme('after-edit');
  })();
</script></body></html>)";

const char kSession[] =
    "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
    "CURRENT:0\r\nPROFILE:p\r\n"
    "0,0.1,10,10,0,0,0,0\r\n0,0.2,20,20,0,0,0,0\r\n3,0.3,0,0,0,65,1,0\r\n";

// Names of the files closed after writing (or moved into place) in the
// folder, in order.
void readWrites(int watch, std::vector<std::string>& names) {
    alignas(inotify_event) char buffer[8192];
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0) names.emplace_back(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
}

size_t countBetween(const std::vector<std::string>& names, size_t from, size_t to, const std::string& name) {
    size_t count = 0;
    for (size_t i = from; i < to && i < names.size(); ++i) count += names[i] == name;
    return count;
}

// Where the name was last written before the position `before`.
size_t lastBefore(const std::vector<std::string>& names, const std::string& name, size_t before) {
    for (size_t i = std::min(before, names.size()); i-- > 0;)
        if (names[i] == name) return i;
    return names.size();
}

}  // namespace

TEST(SideFiles, PollsWithNothingNewWriteNeitherFileAndAnEditWritesBoth) {
    e2e::XServer x = e2e::startXServer();
    e2e::Folders folders = e2e::makeFolders();
    std::filesystem::create_directories(folders.data + "/Varnet");
    std::filesystem::create_directories(folders.config + "/varnet");
    e2e::writeFile(folders.sessionFile(), kSession);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, (folders.config + "/varnet").c_str(), IN_CLOSE_WRITE | IN_MOVED_TO), 0);

    const pid_t pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, kPollingPage));
    const bool finished = e2e::waitForFileContent(folders.sideFile("theme.txt"), "after-edit", 30000);
    // The content shows before the file is closed, and so before its event.
    std::vector<std::string> names;
    for (int i = 0; i < 500 && (names.empty() || names.back() != "theme.txt"); ++i) {
        readWrites(watch, names);
        usleep(10000);
    }
    e2e::terminateAndWait(pid, 5000);
    close(watch);
    e2e::stopXServer(x);
    ASSERT_TRUE(finished) << e2e::readFile(folders.sideFile("theme.txt"));

    // Start-up may write the theme and settings files too, before the page runs.
    const size_t afterEdit = lastBefore(names, "theme.txt", names.size());
    const size_t quietPolls = lastBefore(names, "appsettings.txt", afterEdit);
    const size_t firstPoll = lastBefore(names, "theme.txt", quietPolls);
    std::string all;
    for (const std::string& name : names) all += name + " ";
    ASSERT_LT(firstPoll, names.size()) << all;
    EXPECT_EQ(countBetween(names, 0, firstPoll, "status.txt"), 1u);
    EXPECT_EQ(countBetween(names, 0, firstPoll, "macroevents.txt"), 1u);
    EXPECT_EQ(countBetween(names, firstPoll, quietPolls, "status.txt"), 0u);
    EXPECT_EQ(countBetween(names, firstPoll, quietPolls, "macroevents.txt"), 0u);
    EXPECT_EQ(countBetween(names, quietPolls, afterEdit, "status.txt"), 1u);
    EXPECT_EQ(countBetween(names, quietPolls, afterEdit, "macroevents.txt"), 1u);
    EXPECT_EQ(e2e::readFile(folders.sideFile("macroevents.txt")),
              R"x([{"id":0,"time":0.200000,"desc":"Abs Move to X:20 Y:20","kind":0,"x":20,"y":20},)x"
              R"x({"id":1,"time":0.300000,"desc":"Keyboard VK: 65 (DOWN)","kind":3,"key":"A","down":true}])x");
    e2e::removeFolders(folders);
}
