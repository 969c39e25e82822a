// The cost of the hook path per event while recording: what the portable
// hook logic spends on one pointer move, key or click, lock and append
// included. Prints p50 and p99 in microseconds.
#include <cstdio>
#include <mutex>

#include "bench/bench_stats.h"
#include "capture/hook_logic.h"
#include "model/state.h"
#include "platform/platform.h"

namespace {

constexpr int kEvents = 200000;

void startRecording() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.assign(1, Profile{"bench", "", {}});
    s.currentProfile = 0;
    s.perfFrequency = platform::perfCounterFrequency();
    s.recordStart = platform::perfCounter();
    s.recording = true;
}

InputEvent eventNumber(int i) {
    InputEvent e;
    e.counter = platform::perfCounter();
    switch (i % 4) {
    case 0:
    case 1:
        e.kind = InputEvent::PointerMove;
        e.x = i % 1280;
        e.y = (i / 7) % 1024;
        break;
    case 2:
        e.kind = InputEvent::Key;
        e.code = 0x41 + (i / 4) % 26;
        e.down = (i / 4) % 2 == 0;
        break;
    default:
        e.kind = InputEvent::Button;
        e.code = 1;
        e.down = (i / 4) % 2 == 0;
        break;
    }
    return e;
}

void handle(const InputEvent& e) {
    if (e.kind == InputEvent::Key) {
        handleKeyboardInput(e);
    } else {
        handleMouseInput(e);
    }
}

}  // namespace

int main() {
    startRecording();
    std::vector<double> micros;
    micros.reserve(kEvents);
    for (int i = 0; i < kEvents; ++i) {
        const InputEvent e = eventNumber(i);
        const int64_t before = platform::perfCounter();
        handle(e);
        const int64_t after = platform::perfCounter();
        micros.push_back(double(after - before) * 1e6 / double(platform::perfCounterFrequency()));
    }
    size_t recorded = 0;
    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        recorded = appState().profiles[0].events.size();
    }
    std::printf("hook path while recording: %d events (%zu recorded)\n", kEvents, recorded);
    std::printf("  p50 %.3f us   p99 %.3f us   max %.3f us   (target p99 <= 20 us)\n",
                percentile(micros, 50), percentile(micros, 99), percentile(micros, 100));
    return 0;
}
