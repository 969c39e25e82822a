// A target compared in code and printed beside its figure as met or not met,
// so that no reader has to compare the two by eye.
#pragma once

#include <cstdio>

// (Not "Below": Xlib defines it.)
enum class Target { AtMost, LessThan, AtLeast };

inline bool targetMet(double figure, Target kind, double limit) {
    switch (kind) {
    case Target::AtMost: return figure <= limit;
    case Target::LessThan: return figure < limit;
    case Target::AtLeast: return figure >= limit;
    }
    return false;
}

inline void printTarget(const char* what, double figure, Target kind, double limit) {
    const char* relation = kind == Target::AtMost ? "<=" : kind == Target::LessThan ? "<" : ">=";
    std::printf("  target %-50s %10.3f %-2s %-8g %s\n", what, figure, relation, limit,
                targetMet(figure, kind, limit) ? "met" : "NOT MET");
}
