// Controls of the fake backend's pop-out panels: a log of what the core asked
// for, and the state each panel reports.
#pragma once

#include <string>
#include <vector>

struct ChildProcess;

namespace fake {

// "spawn <argument>", "raise <title>", "ask <n>", "kill <n>", "release <n>",
// "drag onto <title>"
// in the order asked; n numbers the spawned panels from 1.
std::vector<std::string> panelLog();
void resetPanels();
void resetPanelLog();  // forgets the log alone
void setSpawnFails(bool fails);
// Makes the n-th spawned panel report that it has ended.
void endPanel(int n);
// How the n-th spawned panel answers when asked to end: it ends (unless told
// otherwise), it stays until killed, or it cannot be asked at all.
enum class PanelAnswer { Ends, Stays, CannotBeAsked };
void setPanelAnswer(int n, PanelAnswer answer);

// Panel processes may also be made-up pointers, never looked into; a test
// says which have ended and learns which the core has let go of.
void setChildEnded(ChildProcess* child, bool ended);
bool childReleased(ChildProcess* child);

}  // namespace fake
