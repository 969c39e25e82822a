#include "model/key_typer.h"

#include "model/state.h"
#include "text/typed_text.h"

bool setKeyTyper(int32_t mode, bool enter, int32_t characterDelayMs, const std::string& text) {
    std::u32string characters;
    if ((mode != SpamKey && mode != SpamText) || characterDelayMs < 0 || characterDelayMs > kMaxCharacterDelayMs ||
        !decodeCharacters(text, characters))
        return false;
    KeyTyperSettings& t = appState().keyTyper;
    t.mode = mode;
    t.enter = enter;
    t.characterDelayMs = characterDelayMs;
    if (text != keyTyperText()) {
        t.text.store(text.empty() ? nullptr : std::make_shared<const std::string>(text));
        t.textChanges.fetch_add(1);
    }
    return true;
}

std::string keyTyperText() {
    const std::shared_ptr<const std::string> text = appState().keyTyper.text.load();
    return text ? *text : std::string();
}

void resetKeyTyper() { setKeyTyper(SpamKey, false, 0, ""); }

bool keyTyperInUse() {
    const KeyTyperSettings& t = appState().keyTyper;
    return t.mode != SpamKey || t.enter || t.characterDelayMs != 0 || t.text.load() != nullptr;
}
