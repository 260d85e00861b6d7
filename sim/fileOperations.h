// File helpers for building and inspecting a simulated device: descriptors
// closed by RAII, and errors that name the path and the reason.
#pragma once

#include <sys/types.h>

#include <string>

namespace sim::files {

// An open descriptor, closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd_(other.release()) {}
    Fd &operator=(Fd &&other) noexcept;
    ~Fd();
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// "what path: reason of errno".
std::string failure(const std::string &what, const std::string &path);

bool exists(const std::string &path);
bool isDirectory(const std::string &path);
bool readFile(const std::string &path, std::string *content, std::string *error);
bool writeAll(int fd, const char *data, size_t size);
bool writeAll(int fd, const std::string &data);
// Replaces path with content: a new file in the same directory, renamed over
// the old one, so a reader never sees half a file and a running program keeps
// its old copy.
bool replaceFile(const std::string &path, const std::string &content, mode_t mode,
                 std::string *error);
// Removes path and everything below it, links themselves and never what
// they lead to. False with the first failure.
bool removeTree(const std::string &path, std::string *error);
// Creates path and its missing parents; a newly made path gets mode.
bool makeDirectories(const std::string &path, mode_t mode, std::string *error);

}  // namespace sim::files
