#include "store/save_outcome.h"

#include <cstdint>
#include <mutex>

#include "model/state.h"

namespace {

struct Outcome {
    std::string error;    // "" after a success
    uint64_t order = 0;   // when it was noted, to find the latest failure
};

// Guarded by profilesLock.
Outcome outcomes[3];
uint64_t notedSoFar = 0;

}  // namespace

void noteSaveOutcome(SavedFile file, const std::string& path, const std::string& failure) {
    const std::string error = failure.empty() ? "" : "Could not save " + path + " (" + failure + ")";
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    Outcome& outcome = outcomes[size_t(file)];
    outcome.error = error;
    outcome.order = ++notedSoFar;
}

std::string lastSaveError() {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    const Outcome* latest = nullptr;
    for (const Outcome& outcome : outcomes) {
        if (!outcome.error.empty() && (!latest || outcome.order > latest->order)) latest = &outcome;
    }
    return latest ? latest->error : "";
}

void forgetSaveOutcomes() {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    for (Outcome& outcome : outcomes) outcome = Outcome{};
}
