// The text form of the current profile's event list that the page and the
// pop-out panels read, its side file, and the thinning of pointer moves.
#pragma once

#include <string>
#include <vector>

#include "app/state.h"

// One line of JSON: [{"id":0,"time":0.500000,"desc":"..."},...], "[]" when empty.
std::string eventListJson(const std::vector<MacroEvent>& events);
// The current profile's list, built under profilesLock.
std::string buildEventListJson();
// Rewrites macroevents.txt with exactly the text; silent when it cannot.
void writeEventSideFile(const std::string& text);

// Drops each absolute move that lies within 10 pixels of the last kept move
// while moves go on on both sides of it; every other event is kept.
std::vector<MacroEvent> thinMoves(const std::vector<MacroEvent>& events);
