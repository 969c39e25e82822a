// Fake backend: process, time, places and files.
#include <atomic>
#include <cerrno>
#include <system_error>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
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

uint64_t processId() { return 4242; }

std::set<uint64_t>& runningProcesses() {
    static std::set<uint64_t> running{processId()};
    return running;
}

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
    // A random_device may give every process the same numbers (older
    // MinGW's did) while test processes run side by side: the clock and a
    // stack address join the seed, and a folder that exists is never shared.
    int onTheStack = 0;
    static std::mt19937_64 random{std::random_device{}() ^
                                  uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                                  uint64_t(reinterpret_cast<uintptr_t>(&onTheStack))};
    for (;;) {
        auto dir = std::filesystem::temp_directory_path() / ("varnet-test-" + std::to_string(random()));
        if (std::filesystem::create_directories(dir)) return dir.string();
    }
}

}  // namespace fake

namespace platform {

void prepareProcess() {}
void finishProcess() {}
void beginTimerResolution() { ++fake::timerResolutionHolds; }
void endTimerResolution() { --fake::timerResolutionHolds; }
void raiseEngineThreadPriority() {}
void onTerminationRequest(void (*)(void*), void*) {}
void installCrashHandler(void (*)()) {}
void showErrorBox(const std::string&, const std::string&) {}
bool loadWebviewLibrary(std::string& error) {
    if (fake::webviewLibraryLoads) return true;
    error = "no web view in tests";
    return false;
}
std::string webViewEngineMissingText() { return "no web view engine in tests"; }
void lockDownWebView(void*) {}
std::string desktopFontFamily() { return ""; }

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
    if (std::filesystem::exists(std::filesystem::symlink_status(to, error))) return false;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return bool(out.write(bytes.data(), std::streamsize(bytes.size())));
}

// The real backends' steps, on the standard library, so a test sees the same
// failures for a missing folder or a rename the file system refuses.
bool replaceFileDurably(const std::string& path, const std::string& bytes, std::string* failure,
                        const RenameGate* gate) {
    static std::atomic<unsigned> sequence{0};
    const std::string temporary = path + ".tmp" + std::to_string(fake::processId()) + "-" +
                                  std::to_string(sequence++);
    if (!writeFile(temporary, bytes)) {
        if (failure)
            *failure = "cannot create a temporary file: " + std::generic_category().message(errno);
        return false;
    }
    if (fake::beforeRename) fake::beforeRename();
    if (gate && !gate->enter(gate->context)) {
        std::filesystem::remove(temporary);
        return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (gate) gate->leave(gate->context, !error);
    if (error) {
        std::filesystem::remove(temporary);
        if (failure) *failure = "cannot rename the temporary file over it: " + error.message();
        return false;
    }
    return true;
}

std::vector<std::string> filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    return names;
}

bool removeFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::remove(path, error);
}

bool processRunning(uint64_t processId) { return fake::runningProcesses().count(processId) != 0; }

InstanceClaim claimMainInstance(std::string&) { return InstanceClaim::Won; }

void setLaunchOnStartup(bool enable) { launchRegistered = enable; }
bool chooseProfileFileToSave(void*, const std::string& suggestedName, std::string& path) {
    fake::offeredFileName = suggestedName;
    path = fake::chosenProfileFile;
    return !path.empty();
}
bool chooseProfileFileToOpen(void*, std::string& path) {
    path = fake::chosenProfileFile;
    return !path.empty();
}

}  // namespace platform
