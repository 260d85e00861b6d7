// The file a download streams into: a temporary file beside the destination
// that takes the destination's place only once the body is complete.
#pragma once

#include <cstddef>
#include <string>

namespace agent {

struct DownloadTarget {
    DownloadTarget() = default;
    DownloadTarget(const DownloadTarget &) = delete;
    DownloadTarget &operator=(const DownloadTarget &) = delete;
    // Removes the temporary file unless it was committed.
    ~DownloadTarget();

    // Creates the temporary file in the directory of hostPath; shownPath (the
    // device path) names the destination in reasons. False with the reason
    // when the destination cannot be written there.
    bool open(const std::string &hostPath, const std::string &shownPath, std::string *reason);
    // Appends all the bytes; false with the reason otherwise.
    bool write(const char *bytes, size_t length, std::string *reason);
    // Syncs the file, gives it the old destination's mode and owner (0644 for
    // a new file), and renames it over the destination.
    bool commit(std::string *reason);

    std::string destination;
    std::string shown;
    std::string temporary;
    int fd = -1;
    long long written = 0;
    bool committed = false;
};

}  // namespace agent
