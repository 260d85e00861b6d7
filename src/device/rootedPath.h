// Device paths of a simulated device, resolved the way a process chrooted
// into its root would see them: ".." stops at the root, and a symbolic link
// is read as a device path, an absolute target starting again at the root.
// The answer is a host path whose directories hold no link, so that the
// plain file calls of the library and the agent stay inside the root. One
// source serves both: each compiles it in.
#pragma once

#include <string>

namespace device {

// What becomes of the last component of a path when it is a symbolic link.
enum class LastLink {
    Followed,  // the file it leads to: opening, reading, executing
    Kept,      // the name itself: lstat, unlink, rename, O_EXCL creation
};

// The kernel's openat2 with RESOLVE_IN_ROOT where it has it and the path
// exists, else one component at a time. Both give the same answer; tests ask
// for each alone to hold them to it (the kernel alone fails wherever it
// cannot answer, ENOSYS without openat2).
enum class Resolution { KernelFirst, KernelOnly, ComponentWalk };

// Symbolic links followed before a path fails with ELOOP (the kernel's bound).
constexpr int kMaxLinksInRoot = 40;

// Sets *hostPath to the host path of a device path under root, relative
// device paths taken from the root. The part of the path that does not
// exist yet is kept as written after the part that does. With root "" (the
// real device) the path comes back unchanged. Returns 0, or the errno value
// of the failure: ELOOP past the bound, ENOENT or ENOTDIR for ".." after a
// missing or non-directory component, as the device itself would answer.
int resolveInRoot(const std::string &root, const std::string &path, LastLink last,
                  std::string *hostPath, Resolution how = Resolution::KernelFirst);

}  // namespace device
