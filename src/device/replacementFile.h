// A file that takes the place of the one at a device path only once it is
// whole: written beside it under a temporary name, synced, renamed over the
// name, and the directory synced. Readers see the old file or the new one,
// never a part; a failure at any step, a full disk or a killed process leaves
// the old file as it was. The rename replaces whatever stands at the name: a
// link planted there is replaced, never written through.
#pragma once

#include <cstddef>
#include <string>

namespace device {

class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;
    // Removes the temporary file unless it was committed.
    ~ReplacementFile();

    // Creates the temporary file beside the device path. Only the directory
    // is looked up under the device root; the name itself is never followed.
    bool create(const std::string &path, std::string *error);
    // Appends the bytes; returns how many the file took, fewer than length
    // only when it refused the rest (error says why).
    size_t write(const char *bytes, size_t length, std::string *error);
    // Puts the file in place. It is 0644 and the process's own, unless it
    // replaces a regular file that the process's user made: that file's mode
    // and group are kept. False with the reason when a step fails; after the
    // rename only the directory's sync can, and the new file is then in place
    // but may not outlive a power cut.
    bool commit(std::string *error);

private:
    std::string shown_;      // the device path, for reasons
    std::string directory_;  // on the host
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace device
