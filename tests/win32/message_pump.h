// Waiting in a Windows test for what arrives as window messages.
#pragma once

#include <windows.h>

// Pumps this thread's messages until done() holds or ten seconds pass.
template <typename Done>
bool pumpUntil(Done done) {
    for (ULONGLONG end = GetTickCount64() + 10000; GetTickCount64() < end; Sleep(5)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        if (done()) return true;
    }
    return done();
}
