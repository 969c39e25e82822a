// The text form of the current profile's event list that the page and the
// pop-out panels read, its side file, and the thinning of pointer moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/state.h"

// One line of JSON: [{"id":0,"time":0.500000,"desc":"..."},...], "[]" when empty.
std::string eventListJson(const std::vector<MacroEvent>& events);
// The current profile's list: copied under profilesLock, formatted after it.
std::string buildEventListJson();
// Rewrites macroevents.txt with exactly the text; silent when it cannot.
void writeEventSideFile(const std::string& text);

// The list text kept up to date in small steps: the events a recording
// appends are formatted once each, as they arrive, and only an edit of the
// list (or a switch to another) starts the text over. Only the text a
// catch-up added is held, not the whole list's (at a million events that
// is about 90 MB): the side file holds the whole. profilesLock is held only
// to copy events, at most kEventCopyChunk at a time, never to format.
struct EventListText {
    uint64_t edits = UINT64_MAX;  // eventListEdits when the text was begun; none yet
    size_t count = 0;             // events in the text
    size_t bytes = 2;             // the whole text's size ("[]" when empty)
    // What the last catch-up changed: the whole text after a rebuild; after
    // appends, what replaces the whole text's closing bracket.
    std::string added;
    std::vector<MacroEvent> copied;  // the events of one copy, reused
};
constexpr size_t kEventCopyChunk = 4096;

enum class TextChange { None, Appended, Rebuilt };
// Brings the text up to the current list; says how it changed, and leaves
// in `added` what changed.
TextChange catchUpEventListText(EventListText& text);

// Keeps macroevents.txt equal to the current list for the status poll: a
// poll after which nothing changed costs a counter comparison and writes
// nothing; appended events are appended to the file. A rebuild of a long
// list waits four times as long as the last one took, a second at most, so
// the file may trail a large list that is edited over and over by that
// much. UI thread only.
void followEventListInSideFile();

// Drops each absolute move that lies within 10 pixels of the last kept move
// while moves go on on both sides of it; every other event is kept.
std::vector<MacroEvent> thinMoves(const std::vector<MacroEvent>& events);

// The list text brought up to date at once, for whoever asks for it: the
// side file's, or formatted afresh when that cannot be written or read.
std::string eventListTextNow();
// {"total":N,"offset":O,"events":[...]}: the events from O on, at most the
// count asked for (and a thousand), with their positions as ids.
std::string eventWindowJson(int32_t offset, int32_t count);
// An edit changes the list only; the side file follows at the next status
// poll, so an edit from a panel and one from the page cost the same. An id
// that names no event changes nothing.
void deleteEvent(int32_t id);
void setEventTime(int32_t id, double time);
// Before event id: a pause, which moves that event and every later one by
// seconds (more than 0, at most a day), or a row that types the text (UTF-8,
// 1 to 10,000 characters) at that event's time; at the list's end for an id
// one past its last event (a text only). False, changing nothing, for
// anything else. Undo takes either back.
inline constexpr double kMaxPauseSeconds = 86400.0;
bool insertPause(int32_t id, double seconds);
bool insertTypedText(int32_t id, const std::string& text);
// Thins the current list's moves (thinMoves). Events a recording appends
// meanwhile follow the thinned ones; an edit meanwhile wins.
void thinCurrentMoves();
