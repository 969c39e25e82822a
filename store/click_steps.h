// Editing the live click sequence. Each change is made under profilesLock
// and then stored into the current profile, as a change of the clicker's
// settings is, and kept as one undo step; a change that names no step,
// would pass kMaxClickSteps or leaves the list as it was changes nothing and
// returns false.
#pragma once

#include <cstddef>

#include "model/state.h"

// Whether each value of the step is in its range (the point may be anywhere).
bool clickStepValid(const ClickStep& step);
bool appendClickStep(const ClickStep& step);
bool replaceClickStep(size_t index, const ClickStep& step);
// The step at from moves to stand at index to, the others keeping their order.
bool moveClickStep(size_t from, size_t to);
bool removeClickStep(size_t index);
