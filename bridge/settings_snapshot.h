// The settings snapshot (callGetSettings) as pop-out panels read it.
#pragma once

// Pop-out panels start from and follow the settings through settings.txt; it
// is written when the snapshot differs from what was last written there.
// UI thread only.
void writeSettingsSideFile();
