// The texts of the macros' typed-text rows. A row (MacroEvent of kind
// TypedText) names its text by a number, so that an event stays a plain
// record; each distinct text is kept once, for the life of the process, and
// never changes, so any thread may read it without a lock (a crash handler's
// save included).
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kMaxTypedTexts = 16384;

// The number of this text, keeping it first when it is new; -1 when the
// table is full. Takes profilesLock: call it without holding it.
int32_t keepTypedText(const std::string& text);
// The text of a number; nullptr for a number that names none.
const std::string* typedTextOf(int32_t id);
