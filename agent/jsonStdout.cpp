#include "agent/jsonStdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "agent/cliCommands.h"
#include "agent/jsonOutput.h"

namespace agent {

JsonStdout::JsonStdout() {
    std::fflush(stdout);
    saved_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (saved_ < 0) {
        error_ = std::string("standard output: ") + std::strerror(errno);
        return;
    }
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        error_ = std::string("standard output: cannot set it aside: ") + std::strerror(errno);
        ::close(saved_);
        saved_ = -1;
    }
}

JsonStdout::~JsonStdout() {
    if (saved_ < 0) {
        return;
    }
    std::fflush(stdout);
    if (::dup2(saved_, STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "ixoAgent: standard output cannot be put back: %s\n",
                     std::strerror(errno));
    }
    ::close(saved_);
}

bool JsonStdout::ready(std::string *error) const {
    if (saved_ < 0 && error != nullptr) {
        *error = error_;
    }
    return saved_ >= 0;
}

bool JsonStdout::print(const nlohmann::ordered_json &value, std::string *error) {
    if (!ready(error)) {
        return false;
    }
    std::string text = jsonText(value);
    for (size_t done = 0; done < text.size();) {
        ssize_t written = ::write(saved_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (error != nullptr) {
                *error = std::string("standard output: ") +
                         (written < 0 ? std::strerror(errno) : "nothing written");
            }
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

int reserveStdoutForJson(bool json, std::unique_ptr<JsonStdout> *out) {
    if (!json) {
        return -1;
    }
    *out = std::make_unique<JsonStdout>();
    std::string error;
    if (!(*out)->ready(&error)) {
        out->reset();
        return cliFailure(error);
    }
    return -1;
}

}  // namespace agent
