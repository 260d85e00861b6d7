// The library's waits (pSleep): real sleeping, or a function the tests set to
// record the waits instead.
#include <time.h>

#include "host/host.h"

namespace {

agent::SleepFunction currentSleep = nullptr;

}  // namespace

// An interrupted wait returns early: the lockout's signal handler sets a flag
// that its caller checks after each pSleep(1).
extern "C" void pSleep(int seconds) {
    if (currentSleep != nullptr) {
        currentSleep(seconds);
        return;
    }
    if (seconds <= 0) {
        return;
    }
    struct timespec wait = {seconds, 0};
    nanosleep(&wait, nullptr);
}

namespace agent {

void setSleepFunction(SleepFunction function) { currentSleep = function; }

SleepFunction sleepFunction() { return currentSleep; }

}  // namespace agent
