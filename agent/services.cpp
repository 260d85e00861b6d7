// Small services the library asks of the agent: waiting, the download
// credentials and the power-off flag.
#include <time.h>

#include <cerrno>
#include <string>

#include "agent/ixoagent.h"

// Non-zero asks the library to power the device off before a reboot; the
// development agent has no device that needs it.
extern "C" {
int poweroff2MBBios = 0;
}

namespace {

agent::SleepFunction currentSleep = nullptr;
std::string user;
std::string password;

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

// The texts stay the agent's and are never null.
extern "C" void getUserCredentials(char **userOut, char **passwordOut) {
    if (userOut != nullptr) {
        *userOut = const_cast<char *>(user.c_str());
    }
    if (passwordOut != nullptr) {
        *passwordOut = const_cast<char *>(password.c_str());
    }
}

namespace agent {

void setSleepFunction(SleepFunction function) { currentSleep = function; }

SleepFunction sleepFunction() { return currentSleep; }

void setCredentials(const std::string &newUser, const std::string &newPassword) {
    user = newUser;
    password = newPassword;
}

}  // namespace agent
