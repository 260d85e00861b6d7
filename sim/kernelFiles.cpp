// The device's special files: /dev/null and the simulated kernel's /proc.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/deviceParts.h"
#include "sim/fileOperations.h"

namespace sim {

namespace {

// The thin client boots with its system partition read-only; rw and ro
// remount it. /home and /temp are always writable.
const char kMountTable[] =
    "rootfs / rootfs rw 0 0\n"
    "/dev/sda1 / ext2 ro,noatime 0 0\n"
    "proc /proc proc rw,nosuid,nodev,noexec 0 0\n"
    "/dev/sda2 /home ext2 rw,noatime 0 0\n"
    "tmpfs /temp tmpfs rw,nosuid,nodev 0 0\n"
    "tmpfs /tmp tmpfs rw 0 0\n";

// The device reports memory and processor as the machine running it does.
const char *const kHostProcFiles[] = {"/proc/meminfo", "/proc/cpuinfo"};

}  // namespace

bool makeDevNull(const std::string &root, std::string *error) {
    std::string path = root + "/dev/null";
    const dev_t nullDevice = makedev(1, 3);
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == nullDevice &&
        (info.st_mode & 07777) == 0666) {
        return true;
    }
    // Made beside it and renamed over whatever stands there, so that the
    // device's programs never find it missing.
    std::string fresh = path + ".new";
    if (::unlink(fresh.c_str()) != 0 && errno != ENOENT) {
        *error = files::failure("cannot remove", fresh);
        return false;
    }
    if (::mknod(fresh.c_str(), S_IFCHR | 0666, nullDevice) != 0) {
        *error = errno == EPERM || errno == EACCES
                     ? std::string("making the device's /dev/null needs root (mknod: ") +
                           std::strerror(errno) + ")"
                     : files::failure("cannot create", fresh);
        return false;
    }
    if (::chmod(fresh.c_str(), 0666) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
        *error = files::failure("cannot put in place", path);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

bool writeProcFiles(const std::string &root, std::string *error) {
    // The mount table is device state (rw/ro): a refresh keeps it.
    std::string mounts = root + "/proc/mounts";
    if (!files::exists(mounts) && !files::replaceFile(mounts, kMountTable, 0644, error)) {
        return false;
    }
    for (const char *hostFile : kHostProcFiles) {
        std::string content;
        if (!files::readFile(hostFile, &content, error) ||
            !files::replaceFile(root + hostFile, content, 0644, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace sim
