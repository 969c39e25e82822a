#pragma once

// Tries one save of the session from a crashing process.
void saveOnCrash();

// The body of the autosave worker thread; runs until running is cleared.
void autosaveThread();
