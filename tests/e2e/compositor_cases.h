// The cases every compositor's suite runs the same way: the program, given
// one session file and driven through its command line, clicks and presses
// keys that the logging window (wayland_client_main.cpp) must see.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/sway_session.h"

namespace e2e {

// The clicker's fixed point is (300, 200). The macro moves to (640, 360),
// clicks every button there, moves by (15, -10), turns the wheel two notches
// up, and types A, the numeric pad's 1 (a key on its second level) and,
// with the left Shift held, A again. The key spammer's hotkey is Ctrl+F9.
extern const char kCompositorSession[];

// Hands one message to the running program, as `varnet --command` would.
using SendCommand = std::function<void(const std::string&)>;
// Presses one key ("F6", "Ctrl+F9") on the compositor as a person would.
using PressKey = std::function<void(const char*)>;

size_t countOf(const std::vector<std::string>& lines, const std::string& text);
// The window's lines from from on, once the first awaited one has come and
// then nothing more for a while.
std::vector<std::string> linesAfter(WindowLog& log, size_t from, const std::string& first);

// Four clicks asked of the clicker at its fixed point arrive there.
void expectCountedClicksAtTheFixedPoint(WindowLog& log, const SendCommand& command);
// Four presses of the space bar asked of the key spammer arrive.
void expectCountedSpaceBarPresses(WindowLog& log, const SendCommand& command);
// The clicker's hotkey F6 pressed on the compositor starts three clicks, and
// the focused window never sees the key.
void expectTheClickerHotkeyTakesItsKey(WindowLog& log, const SendCommand& command, const PressKey& press);
// A hotkey with a modifier is bound with it: a plain F9 reaches the window,
// Ctrl+F9 starts three presses of the key spammer and reaches no window.
void expectAHotkeyWithAModifierTakesOnlyThatCombination(WindowLog& log, const SendCommand& command,
                                                        const PressKey& press);
// Playing the session's macro sends exactly expected (the window's lines of
// the given kinds), after whatever glide to its first point.
void expectPlaybackSends(WindowLog& log, const SendCommand& command, const std::vector<std::string>& expected,
                         const std::vector<std::string>& kinds);

}  // namespace e2e
