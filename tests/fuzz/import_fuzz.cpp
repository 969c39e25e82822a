// Any file offered for import: the profile it gives exports and imports again
// unchanged, with the same live settings, and leaves only bindings a person
// could have chosen.
#include <cstdint>
#include <mutex>

#include "capture/hotkeys.h"
#include "store/profile_files.h"
#include "store/session_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

Profile currentProfile() {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    return appState().profiles.at(size_t(appState().currentProfile));
}

std::string eventLines(const Profile& profile) {
    std::string out;
    for (const MacroEvent& e : profile.events) out += formatEventLine(e) + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshState();
    if (!importProfileText(fuzz::text(data, size))) return 0;
    const Profile first = currentProfile();
    for (ReassignSlot slot : kReassignSlots) FUZZ_CHECK(bindingAcceptable(slot, *bindingOfSlot(slot)));
    const std::string settings = formatSettingsLine();
    FUZZ_CHECK(importProfileText(formatProfileFile(first)));
    const Profile second = currentProfile();
    // The name is marked only while it is taken, and numbered from then on.
    FUZZ_CHECK(second.name == first.name + " (Imported)");
    FUZZ_CHECK(importProfileText(formatProfileFile(first)));
    FUZZ_CHECK(currentProfile().name == first.name + " (Imported 2)");
    FUZZ_CHECK(second.settings == first.settings || first.settings.empty());
    FUZZ_CHECK(eventLines(second) == eventLines(first));
    FUZZ_CHECK(formatSettingsLine() == settings);
    return 0;
}
