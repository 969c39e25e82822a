#pragma once

// Copies the live clicker and key-spam settings into the current profile.
void storeProfileSettings();
