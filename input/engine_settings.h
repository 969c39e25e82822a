// Storing the numbers of an update call into the live settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Converts fields[i] and stores it in *targets[i], one after the other, for
// the first count fields. False when there are fewer fields (nothing stored)
// or a field is no number (the ones before it stay stored).
bool storeIntegerFields(const std::vector<std::string>& fields, std::atomic<int32_t>* const* targets,
                        size_t count);
