// The key spammer's text typer: instead of one key it types a text each
// interval, character by character, optionally followed by Enter. Every
// value is read without a lock; the text is published whole, so a reader
// never sees half an edit.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// What the key spammer presses each interval.
enum KeySpamMode : int32_t { SpamKey = 0, SpamText = 1 };
inline constexpr int32_t kMaxCharacterDelayMs = 1000;

struct KeyTyperSettings {
    std::atomic<int32_t> mode{SpamKey};
    std::atomic<bool> enter{false};             // Enter after the text
    std::atomic<int32_t> characterDelayMs{0};   // between two characters
    std::atomic<std::shared_ptr<const std::string>> text;  // UTF-8; null: none
    std::atomic<uint64_t> textChanges{0};       // counts the texts published
};

// Takes all four values, or none when one is out of range (a mode other than
// the two, a delay outside 0-1000 ms, more than 10,000 characters).
bool setKeyTyper(int32_t mode, bool enter, int32_t characterDelayMs, const std::string& text);
// The text now ("" when none).
std::string keyTyperText();
// Back to typing keys, no text, no Enter, no delay.
void resetKeyTyper();
// Whether any value differs from those defaults: only then is it stored.
bool keyTyperInUse();
