// One line of the session format. An event line that reads formats to a line
// that reads back to the same event and formats the same again; a settings
// line (or a profile's own line) applied, formatted and applied again gives
// the same text, with a finite speed, bindings a person could choose,
// hotkey modifiers that name a set of them and click steps in their ranges.
// A typed-text row and the text typer's line do the same.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "capture/hotkeys.h"
#include "store/click_steps.h"
#include "store/session_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool sameEvent(const MacroEvent& a, const MacroEvent& b) {
    return a.kind == b.kind && std::memcmp(&a.time, &b.time, sizeof a.time) == 0 && a.x == b.x &&
           a.y == b.y && a.flags == b.flags && a.vk == b.vk && a.down == b.down && a.delta == b.delta &&
           a.scan == b.scan;
}

void eventLine(const std::string& line, bool deltaOptional) {
    MacroEvent event;
    if (!parseEventLine(line, event, deltaOptional)) return;
    FUZZ_CHECK(std::isfinite(event.time));
    const std::string text = formatEventLine(event);
    MacroEvent again;
    FUZZ_CHECK(parseEventLine(text, again, false));
    FUZZ_CHECK(sameEvent(again, event));
    FUZZ_CHECK(formatEventLine(again) == text);
}

void settingsLines(const std::string& line) {
    applySettingsLine(line);
    const std::string text = formatSettingsLine();
    applySettingsLine(text);
    FUZZ_CHECK(formatSettingsLine() == text);
    FUZZ_CHECK(std::isfinite(appState().tracker.tspd.load()));
    applyProfileSettings(line);
    const std::string own = formatProfileSettings();
    applyProfileSettings(own);
    FUZZ_CHECK(formatProfileSettings() == own);
    {
        // Every step that was read is one a person could make.
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        FUZZ_CHECK(appState().clickSteps.size() <= kMaxClickSteps);
        for (const ClickStep& step : appState().clickSteps) FUZZ_CHECK(clickStepValid(step));
    }
    // The same with the line as the text typer's values.
    applyProfileSettings(withTyperLine(own, line));
    const std::string typed = formatProfileSettings();
    applyProfileSettings(typed);
    FUZZ_CHECK(formatProfileSettings() == typed);
    const KeyTyperSettings& typer = appState().keyTyper;
    FUZZ_CHECK(typer.mode == SpamKey || typer.mode == SpamText);
    FUZZ_CHECK(typer.characterDelayMs >= 0 && typer.characterDelayMs <= kMaxCharacterDelayMs);
    for (ReassignSlot slot : kReassignSlots) FUZZ_CHECK(bindingAcceptable(slot, *bindingOfSlot(slot)));
    for (ReassignSlot slot : kHotkeySlots) {
        const int32_t modifiers = *modifiersOfSlot(slot);
        FUZZ_CHECK(modifiers >= 0 && modifiers <= kAllModifiers);
    }
}

}  // namespace

// The first byte picks the line format; the rest is the line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::freshState();
    const std::string line = fuzz::text(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: eventLine(line, false); break;
    case 1: eventLine(line, true); break;
    default: settingsLines(line); break;
    }
    return 0;
}
