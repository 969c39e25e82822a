// Test helper for the crash-safety tests: the real session code on the real
// Linux backend, without a window.
//   save_stream <session> stream       saves a changing session in a loop
//   save_stream <session> check        exits 0 when the session loads whole
//   save_stream <session> crash        sets a state no save has written, then crashes
// Every saved profile names the number of events it holds and ends with a
// marker event, so a torn file cannot pass the check.
#include <cstdio>
#include <string>

#include "model/state.h"
#include "platform/platform.h"
#include "store/autosave.h"
#include "store/session_file.h"

namespace {

Profile makeProfile(int generation, int index, int events) {
    Profile p{"gen " + std::to_string(generation) + " profile " + std::to_string(index) +
                  " events " + std::to_string(events),
              "1,2,3,4,0,0,1,10,0,0,0,0,0,0,100,1,10,32", {}};
    for (int i = 0; i < events; ++i) {
        MacroEvent e;
        e.kind = i % 5;
        e.time = i * 0.001 + generation;
        e.x = i;
        e.y = -i;
        p.events.push_back(e);
    }
    MacroEvent marker;
    marker.kind = KeyStroke;
    marker.vk = 255;
    marker.delta = events;
    p.events.push_back(marker);
    return p;
}

void setGeneration(int generation) {
    std::vector<Profile> profiles;
    for (int i = 0; i < 3; ++i) profiles.push_back(makeProfile(generation, i, 2000 + int((int64_t(generation) * 7919 + i * 104729) % 20000)));
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles = std::move(profiles);
    s.currentProfile = generation % 3;
}

int stream() {
    for (int generation = 1;; ++generation) {
        setGeneration(generation);
        saveSession();
        std::printf("%d\n", generation);
        std::fflush(stdout);
    }
}

bool profileWhole(const Profile& p) {
    size_t at = p.name.rfind(" events ");
    if (at == std::string::npos) return false;
    size_t events = std::stoul(p.name.substr(at + 8));
    if (p.events.size() != events + 1) return false;
    const MacroEvent& marker = p.events.back();
    return marker.kind == KeyStroke && marker.vk == 255 && marker.delta == int32_t(events) &&
           p.events[events / 2].x == int32_t(events / 2);
}

int check() {
    if (!loadSession()) return 2;
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.profiles.size() != 3) return 3;
    for (const Profile& p : s.profiles)
        if (!profileWhole(p)) return 4;
    std::printf("%s\n", s.profiles[0].name.c_str());
    return 0;
}

int crash() {
    platform::installCrashHandler(saveOnCrash);
    setGeneration(424242);
    volatile int* nowhere = nullptr;
    return *nowhere;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 64;
    appState().sessionPath = argv[1];
    const std::string mode = argv[2];
    if (mode == "stream") return stream();
    if (mode == "check") return check();
    if (mode == "crash") return crash();
    return 64;
}
