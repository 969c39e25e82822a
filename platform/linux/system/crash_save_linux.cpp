// The last-chance save on a crash. The save does not run inside the signal
// handler: the signal may have interrupted its thread in the middle of the
// allocator or another lock the save needs, and it would wait on itself for
// ever. A thread kept ready for this alone does the save while the crashed
// thread waits for it, for five seconds at most: a crash that struck while
// every allocator lock was held (inside fork, for one) cannot be saved from,
// and must not hang. Then the crash proceeds with the signal's default
// action, as it would have without us.
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void (*crashSave)() = nullptr;
sem_t saveRequested;
std::atomic<bool> saverReady{false}, saveTried{false}, saveDone{false};

void* crashSaverThread(void*) {
    // Signals sent to the process must reach a thread that can wait for us.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : kCrashSignals) sigaddset(&blocked, signal);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    // Binds this thread to an allocator arena of its own before it is needed.
    void* volatile warm = std::malloc(64);
    std::free(warm);
    saverReady = true;
    while (sem_wait(&saveRequested) != 0) {
    }
    if (crashSave) crashSave();
    saveDone = true;
    return nullptr;
}

void sleepBriefly() {
    timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
}

void onCrashSignal(int signal) {
    // Should this handler itself be held up, the alarm ends the process.
    alarm(10);
    if (!saveTried.exchange(true) && saverReady) {
        sem_post(&saveRequested);
        for (int waited = 0; waited < 5000 && !saveDone; ++waited) sleepBriefly();
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

}  // namespace

void installCrashHandler(void (*save)()) {
    crashSave = save;
    sem_init(&saveRequested, 0, 0);
    pthread_t saver;
    if (pthread_create(&saver, nullptr, crashSaverThread, nullptr) == 0) {
        pthread_detach(saver);
        // A crash right after start-up must find the saver waiting.
        for (int waited = 0; waited < 1000 && !saverReady; ++waited) sleepBriefly();
    }
    struct sigaction action {};
    action.sa_handler = onCrashSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signal : kCrashSignals) sigaction(signal, &action, nullptr);
}

}  // namespace platform
