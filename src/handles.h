// Owners of the C library's handles inside the library: each closes what it
// holds when it goes out of scope, on every return path.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace handles {

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A file descriptor; -1 holds none.
struct Descriptor {
    explicit Descriptor(int value = -1) : fd(value) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
};

}  // namespace handles
