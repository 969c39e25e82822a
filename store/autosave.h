#pragma once

// Tries one save of the session from a crashing process.
void saveOnCrash();
