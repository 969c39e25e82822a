#include "store/click_steps.h"

#include <mutex>
#include <string>
#include <utility>

#include "store/change_history.h"
#include "store/profiles.h"
#include "store/session_file.h"

namespace {

// Runs the edit under the lock and keeps, as one undo step named `what`,
// the profile's text and the live settings from before it, as the other
// changes of a profile's settings do; a change it made is stored after it.
template <typename Edit>
bool editSteps(const std::string& what, Edit edit) {
    AppState& s = appState();
    std::string liveBefore = formatLiveSettings();
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        changed = edit(s.clickSteps);
        if (changed && s.currentProfile >= 0 && size_t(s.currentProfile) < s.profiles.size()) {
            const size_t index = size_t(s.currentProfile);
            ChangeStep step = changeStep(ChangeKind::SwapSettings, index, s.currentProfile, what);
            step.held.settings = s.profiles[index].settings;
            step.settingsLine = std::move(liveBefore);
            keepChangeLocked(s, std::move(step));
        }
    }
    if (changed) storeProfileSettings();
    return changed;
}

// "sequence step 3": the step as the page numbers it, from 1.
std::string stepName(size_t index) { return "sequence step " + std::to_string(index + 1); }

}  // namespace

bool clickStepValid(const ClickStep& step) {
    return step.button >= 0 && step.button <= 2 && step.type >= 0 && step.type <= 1 && step.waitMs >= 0 &&
           step.waitMs <= kMaxStepWaitMs;
}

bool appendClickStep(const ClickStep& step) {
    if (!clickStepValid(step)) return false;
    return editSteps("adding a sequence step", [&](std::vector<ClickStep>& steps) {
        if (steps.size() >= kMaxClickSteps) return false;
        steps.push_back(step);
        return true;
    });
}

bool replaceClickStep(size_t index, const ClickStep& step) {
    if (!clickStepValid(step)) return false;
    return editSteps("editing " + stepName(index), [&](std::vector<ClickStep>& steps) {
        if (index >= steps.size() || steps[index] == step) return false;
        steps[index] = step;
        return true;
    });
}

bool moveClickStep(size_t from, size_t to) {
    return editSteps("moving " + stepName(from) + " to " + std::to_string(to + 1), [&](std::vector<ClickStep>& steps) {
        if (from >= steps.size() || to >= steps.size() || from == to) return false;
        const ClickStep moving = steps[from];
        steps.erase(steps.begin() + std::ptrdiff_t(from));
        steps.insert(steps.begin() + std::ptrdiff_t(to), moving);
        return true;
    });
}

bool removeClickStep(size_t index) {
    return editSteps("deleting " + stepName(index), [&](std::vector<ClickStep>& steps) {
        if (index >= steps.size()) return false;
        steps.erase(steps.begin() + std::ptrdiff_t(index));
        return true;
    });
}
