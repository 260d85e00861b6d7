// The user name and password the library's downloads are made with, as the
// agent was given them.
#include <string>

#include "host/host.h"

namespace {

std::string user;
std::string password;

}  // namespace

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

void setCredentials(const std::string &newUser, const std::string &newPassword) {
    user = newUser;
    password = newPassword;
}

}  // namespace agent
