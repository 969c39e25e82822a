#include "input/typing.h"

#include "input/engine_wait.h"
#include "model/state.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kVkTab = 0x09, kVkReturn = 0x0D;

uint32_t sendKeyRelease(uint32_t vk) { return platform::sendKeyEvent(vk, false); }

bool tapKey(uint32_t vk) {
    if (platform::sendKeyEvent(vk, true) == 0) return false;
    sendReleaseUntilTaken(sendKeyRelease, vk);
    return true;
}

bool isLineBreak(char32_t character) { return character == U'\n' || character == U'\r'; }

// Control characters other than a line break and a tab type nothing.
bool typesSomething(char32_t character) {
    return isLineBreak(character) || character == U'\t' ||
           (character >= 0x20 && !(character >= 0x7F && character < 0xA0));
}

bool typeOne(char32_t character) {
    if (isLineBreak(character)) return tapKey(kVkReturn);
    if (character == U'\t') return tapKey(kVkTab);
    return platform::typeCharacter(character) != 0;
}

}  // namespace

size_t typeCharacters(const std::u32string& characters, int32_t delayMs, bool enterAfter,
                      const std::atomic<bool>& active) {
    const int64_t delayTicks = intervalTicks(double(delayMs), engineFrequency());
    size_t taken = 0;
    bool first = true;
    auto waitDelay = [&] {
        if (!first && delayTicks > 0) waitUntilCounter(platform::perfCounter() + delayTicks, active);
        first = false;
    };
    for (size_t i = 0; i < characters.size() && active && appState().running; ++i) {
        // CR LF is one line break.
        if (characters[i] == U'\r' && i + 1 < characters.size() && characters[i + 1] == U'\n') continue;
        if (!typesSomething(characters[i])) continue;
        waitDelay();
        if (active && typeOne(characters[i])) ++taken;
    }
    if (enterAfter && active && appState().running) {
        waitDelay();
        if (active && tapKey(kVkReturn)) ++taken;
    }
    return taken;
}
