// Typing a text character by character, for the key spammer's text typer
// and a macro's typed-text rows: which characters become which keys is
// decided here, the keys for each character by the backend.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Types the characters in order, delayMs apart, and then, when asked, Enter
// as one more, while active (and the program) still run: a line break (CR,
// LF or CR LF) as Enter, a tab as Tab, other control characters not at all,
// the rest through platform::typeCharacter. A key's release is sent until it
// is taken. Returns how many characters (and Enter) the system took.
size_t typeCharacters(const std::u32string& characters, int32_t delayMs, bool enterAfter,
                      const std::atomic<bool>& active);
