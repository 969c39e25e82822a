// Bodies of the main process's worker threads. Each runs until running is
// cleared (the capture thread until platform::captureThreadStop).
#pragma once

void autoClickerThread();
void keySpamThread();
void playbackThread();
void autosaveThread();
void controlThread();
void pipeServerThread();
