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

    // Creates the temporary file in the directory of the device path
    // destinationPath, which names the destination in reasons. Only the
    // directory is resolved under the device root: whatever stands at the
    // name itself (a link, say) is replaced, never followed. False with the
    // reason when the destination cannot be written there.
    bool open(const std::string &destinationPath, std::string *reason);
    // Appends all the bytes; false with the reason otherwise.
    bool write(const char *bytes, size_t length, std::string *reason);
    // Gives the file its owner and mode (see agent/replacedFileOwner.h),
    // syncs it, renames it over the destination and syncs the directory.
    bool commit(std::string *reason);

    std::string destination;
    std::string directory;
    std::string shown;
    std::string temporary;
    int fd = -1;
    long long written = 0;
    bool committed = false;
};

}  // namespace agent
