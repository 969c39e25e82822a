#include "store/click_steps.h"

#include <mutex>

#include "store/profiles.h"

namespace {

// Runs the edit under the lock; a change it made is stored after it.
template <typename Edit>
bool editSteps(Edit edit) {
    AppState& s = appState();
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        changed = edit(s.clickSteps);
    }
    if (changed) storeProfileSettings();
    return changed;
}

}  // namespace

bool clickStepValid(const ClickStep& step) {
    return step.button >= 0 && step.button <= 2 && step.type >= 0 && step.type <= 1 && step.waitMs >= 0 &&
           step.waitMs <= kMaxStepWaitMs;
}

bool appendClickStep(const ClickStep& step) {
    if (!clickStepValid(step)) return false;
    return editSteps([&](std::vector<ClickStep>& steps) {
        if (steps.size() >= kMaxClickSteps) return false;
        steps.push_back(step);
        return true;
    });
}

bool replaceClickStep(size_t index, const ClickStep& step) {
    if (!clickStepValid(step)) return false;
    return editSteps([&](std::vector<ClickStep>& steps) {
        if (index >= steps.size()) return false;
        steps[index] = step;
        return true;
    });
}

bool moveClickStep(size_t from, size_t to) {
    return editSteps([&](std::vector<ClickStep>& steps) {
        if (from >= steps.size() || to >= steps.size()) return false;
        const ClickStep moving = steps[from];
        steps.erase(steps.begin() + std::ptrdiff_t(from));
        steps.insert(steps.begin() + std::ptrdiff_t(to), moving);
        return true;
    });
}

bool removeClickStep(size_t index) {
    return editSteps([&](std::vector<ClickStep>& steps) {
        if (index >= steps.size()) return false;
        steps.erase(steps.begin() + std::ptrdiff_t(index));
        return true;
    });
}
