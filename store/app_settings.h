// appsettings.txt: window placement and the application preferences.
#pragma once

void readAppSettings();
void writeAppSettings();
// Records the main window's normal placement and rewrites the settings file.
void saveWindowPlacement(void* window);
