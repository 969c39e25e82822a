// One private X server and one GTK display for the whole test process: GTK
// keeps its display for the life of the process, so every suite shares them.
#pragma once

// Starts the server and GTK the first time; later calls do nothing.
void useXSession();
// Runs the GTK main context for this long, or until condition holds.
void pump(int milliseconds);
bool pumpUntil(int milliseconds, bool (*condition)());
