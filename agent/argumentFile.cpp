#include "agent/argumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "src/handles.h"

namespace agent {

bool readArgumentFile(const std::string &path, size_t maxSize, std::string *content,
                      std::string *error) {
    auto failed = [&](const std::string &reason) {
        *error = path + ": " + reason;
        return false;
    };
    // Not blocked by a FIFO or a terminal put where a file was meant.
    handles::Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.fd < 0) {
        return failed(std::string("cannot open: ") + std::strerror(errno));
    }
    struct stat info;
    if (::fstat(file.fd, &info) != 0) {
        return failed(std::string("cannot examine: ") + std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return failed("is a directory, not a file");
    }
    if (!S_ISREG(info.st_mode)) {
        return failed("is not a regular file");
    }
    content->clear();
    char buffer[4096];
    for (;;) {
        ssize_t count = ::read(file.fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return failed(std::string("cannot read: ") + std::strerror(errno));
        }
        if (count == 0) {
            return true;
        }
        content->append(buffer, static_cast<size_t>(count));
        if (content->size() > maxSize) {
            return failed("is larger than " + std::to_string(maxSize) + " bytes");
        }
    }
}

}  // namespace agent
