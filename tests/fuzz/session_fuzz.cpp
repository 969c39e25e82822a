// Any session text: what a load keeps, a save writes, and a second load and
// save of that give the very same text.
#include <cstdint>
#include <mutex>

#include "store/session_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// What saveSession would write now.
std::string savedText() {
    const std::string settings = formatSettingsLine();
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    return formatSession(settings, appState().currentProfile, appState().profiles);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshState();
    if (!loadSessionText(fuzz::text(data, size))) return 0;
    const std::string first = savedText();
    FUZZ_CHECK(loadSessionText(first));
    FUZZ_CHECK(savedText() == first);
    return 0;
}
