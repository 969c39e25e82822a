// What the rest of the Linux backend needs from its synthetic-input sender.
#pragma once

namespace platform {

// Gives keycodes lent to keys the layout lacks back to the layout. Called at
// the very end of the process, after every sender has stopped.
void returnLentKeycodes();

}  // namespace platform
