#pragma once

// Ends every pop-out panel process still tracked and forgets them (shutdown).
void endAllPanelProcesses();
