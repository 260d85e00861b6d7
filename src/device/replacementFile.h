// A file that takes the place of the one at a device path only once it is
// whole: written beside it under a temporary name, synced, renamed over the
// name, and the directory synced. Readers see the old file or the new one,
// never a part; a failure at any step, a full disk or a killed process leaves
// the old file as it was. The rename replaces whatever stands at the name: a
// link planted there is replaced, never written through. One source serves
// the library and the agent (downloads, registry files): each compiles it in.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace device {

// The owner and mode of a new file open as fd (path names it in reasons) that
// takes the place of replaced (null when nothing stood there). Only a regular
// file this process's user made hands its mode and group on: a file another
// user planted (in /tmp, say) must not make root's new file theirs, or they
// could change it before it is read. Otherwise the file is 0644 and the
// process's own. False with the reason when that cannot be done.
bool giveReplacedFileOwner(int fd, const std::string &path, const struct stat *replaced,
                           std::string *reason);

class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;
    // Removes the temporary file unless it was committed.
    ~ReplacementFile();

    // Creates the temporary file beside hostPath, the name to replace as the
    // host sees it (a device path resolved with its last link kept: the
    // name itself is never followed); shownPath names it in reasons. An
    // empty hostPath (a path that could not be resolved) is refused.
    bool create(const std::string &hostPath, const std::string &shownPath, std::string *error);
    // Appends the bytes; returns how many the file took, fewer than length
    // only when it refused the rest (error says why).
    size_t write(const char *bytes, size_t length, std::string *error);
    // Puts the file in place, its owner and mode as giveReplacedFileOwner
    // gives them. False with the reason when a step fails; after the
    // rename only the directory's sync can, and the new file is then in place
    // but may not outlive a power cut.
    bool commit(std::string *error);
    // The bytes the file has taken so far.
    long long bytesWritten() const { return written_; }

private:
    std::string shown_;      // the device path, for reasons
    std::string directory_;  // on the host
    std::string target_;     // on the host
    std::string temporary_;
    long long written_ = 0;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace device
