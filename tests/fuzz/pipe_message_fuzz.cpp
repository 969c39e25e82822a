// One message through the command pipe, on a profile with a few events:
// whatever it holds, every event time stays finite, every binding is one a
// person could choose, and every JSON text the program hands out parses.
#include <cmath>
#include <cstdint>
#include <mutex>

#include "bridge/pipe_server.h"
#include "capture/hotkeys.h"
#include "tests/fake/json_outputs.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::vector<MacroEvent> someEvents() {
    std::vector<MacroEvent> events(5);
    for (size_t i = 0; i < events.size(); ++i) {
        events[i].kind = int32_t(i);
        events[i].time = 0.25 * double(i);
        events[i].x = int32_t(i * 7);
        events[i].delta = -120;
    }
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The server reads at most 511 bytes and cuts the text at its first NUL.
    if (size > 511) return 0;
    fuzz::freshState();
    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        appState().profiles = {{"Default", "", someEvents()}};
    }
    const std::string message = fuzz::text(data, size);
    dispatchPanelCommand(message.c_str());
    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        for (const MacroEvent& e : appState().profiles.at(0).events) FUZZ_CHECK(std::isfinite(e.time));
    }
    for (ReassignSlot slot : kReassignSlots) FUZZ_CHECK(bindingAcceptable(slot, *bindingOfSlot(slot)));
    FUZZ_CHECK(json_check::firstBrokenOutput().empty());
    return 0;
}
