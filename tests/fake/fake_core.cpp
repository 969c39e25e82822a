// Fake backend: process, time, places and files.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"

namespace {

std::atomic<bool> manualClock{false};
std::atomic<int64_t> manualNow{1000000000};
std::string fakeDataDir = ".", fakeSideDir = ".", fakeExeDir = ".";
std::atomic<bool> launchRegistered{false};

int64_t realNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

namespace fake {

bool launchOnStartupRegistered() { return launchRegistered; }

void useManualClock(bool manual) { manualClock = manual; }
bool manualClockInUse() { return manualClock; }
void advanceClock(int64_t nanoseconds) { manualNow += nanoseconds; }

void setPlaces(const std::string& dataDir, const std::string& sideFileDir,
               const std::string& executableDir) {
    fakeDataDir = dataDir;
    fakeSideDir = sideFileDir;
    fakeExeDir = executableDir;
}

std::string makeTempDir() {
    static std::mt19937_64 random{std::random_device{}()};
    auto dir = std::filesystem::temp_directory_path() / ("varnet-test-" + std::to_string(random()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace fake

namespace platform {

void prepareProcess() {}
void finishProcess() {}
void beginTimerResolution() {}
void endTimerResolution() {}
void onTerminationRequest(void (*)(void*), void*) {}
void installCrashHandler(void (*)()) {}
void showErrorBox(const std::string&, const std::string&) {}
bool loadWebviewLibrary(std::string& error) {
    error = "no web view in tests";
    return false;
}
std::string webViewEngineMissingText() { return "no web view engine in tests"; }
void lockDownWebView(void*) {}

int64_t perfCounter() { return manualClock ? manualNow.load() : realNow(); }
int64_t perfCounterFrequency() { return 1000000000; }

void sleepMs(int milliseconds) {
    if (manualClock) {
        manualNow += int64_t(milliseconds) * 1000000;
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void sleepUntilCounter(int64_t deadline) {
    if (manualClock) {
        int64_t now = manualNow.load();
        while (now < deadline && !manualNow.compare_exchange_weak(now, deadline)) {
        }
        return;
    }
    while (realNow() < deadline) std::this_thread::yield();
}

char pathSeparator() { return '/'; }
std::string executablePath() { return fakeExeDir + "/varnet"; }
std::string executableDir() { return fakeExeDir; }
std::string dataDir() { return fakeDataDir; }
std::string sideFileDir() { return fakeSideDir; }

bool createDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return !error;
}

bool pathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool moveFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool replaceFileDurably(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), std::streamsize(bytes.size()))) return false;
    }
    return moveFile(temporary, path);
}

void setLaunchOnStartup(bool enable) { launchRegistered = enable; }
bool chooseProfileFileToSave(std::string&) { return false; }
bool chooseProfileFileToOpen(std::string&) { return false; }

}  // namespace platform
