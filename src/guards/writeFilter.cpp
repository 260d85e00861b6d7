// The root file system sits behind a write filter, switched by the device
// programs "rw" and "ro". This module tells on which known file system a path
// lies, whether that file system is writable now, and lifts or restores the
// filter. The filter's state lives in the device; nothing is kept here.
#define IXO_MODULE "WriteFileSystem"

#include <mntent.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "device/device.h"
#include "ixo/guards.h"
#include "log.h"

namespace {

// The mount points the device has. Only "/" carries the write filter.
const char storageMountPoints[][20] = {"/", "/temp", "/home", ""};

const char *getStorageDeviceForPath(const char *path) {
    const char *best = nullptr;
    size_t bestLength = 0;
    for (const char *entry : storageMountPoints) {
        if (entry[0] == '\0') {
            break;
        }
        // A plain text prefix: "/homework" lies on "/home", and every
        // absolute path lies on "/".
        size_t length = std::strlen(entry);
        if (std::strncmp(path, entry, length) == 0 && length > bestLength) {
            best = entry;
            bestLength = length;
        }
    }
    if (best == nullptr) {
        IXO_LOG(IXO_ERROR, "path '%s' not in filesystems", path);
    }
    return best;
}

struct MountTableCloser {
    void operator()(FILE *table) const { endmntent(table); }
};
using MountTable = std::unique_ptr<FILE, MountTableCloser>;

}  // namespace

extern "C" {

IXO_API int ixoIsWritable(const char *path) {
    if (path == nullptr) {
        IXO_LOG(IXO_ERROR, "null path passed to ixoIsWritable");
        return 0;
    }
    const char *mountPoint = getStorageDeviceForPath(path);
    if (mountPoint == nullptr) {
        IXO_LOG(IXO_ERROR, "'%s' May be an invalid path", path);
        return 1;
    }
    std::string tablePath = device::devicePath("/proc/mounts");
    MountTable table(setmntent(tablePath.c_str(), "r"));
    if (!table) {
        // Without the mount table the state cannot be determined; callers
        // then leave the filter alone.
        IXO_LOG(IXO_ERROR, "Could not open mount table '%s': %s", tablePath.c_str(),
                std::strerror(errno));
        return 1;
    }
    struct mntent entry;
    char strings[4096];
    while (getmntent_r(table.get(), &entry, strings, sizeof strings) != nullptr) {
        if (std::strcmp(entry.mnt_dir, mountPoint) != 0) {
            continue;
        }
        // The initial root file system is listed as well; the real mount of
        // "/" follows it.
        if (std::strcmp(entry.mnt_fsname, "rootfs") == 0) {
            continue;
        }
        return hasmntopt(&entry, "ro") != nullptr ? 0 : 1;
    }
    IXO_LOG(IXO_ERROR, "Could not find '%s' in mount table", path);
    return 1;
}

IXO_API int hasWriteFilter(const char *path) {
    if (path == nullptr) {
        IXO_LOG(IXO_ERROR, "null path passed to hasWriteFilter");
        return -1;
    }
    const char *mountPoint = getStorageDeviceForPath(path);
    if (mountPoint == nullptr) {
        IXO_LOG(IXO_PROGRESS, "path '%s' not found", path);
        return 0;
    }
    return std::strcmp(mountPoint, "/") == 0 ? 1 : 0;
}

IXO_API int makeWritable(const char *path) {
    if (path == nullptr) {
        IXO_LOG(IXO_ERROR, "null path passed to makeWritable");
        return -1;
    }
    if (hasWriteFilter(path) == 0) {
        IXO_LOG(IXO_ERROR, "attempt to make something writable that doesn't have write filter: '%s'",
                path);
        return -1;
    }
    if (device::runDeviceCommand("sudo su -c \"rw\"") != 0) {
        IXO_LOG(IXO_ERROR, "Error trying to make / writable");
        return -1;
    }
    return 0;
}

IXO_API int makeWriteProtected(const char *path) {
    if (path == nullptr) {
        IXO_LOG(IXO_ERROR, "null path passed to makeWriteProtected");
        return -1;
    }
    if (hasWriteFilter(path) == 0) {
        IXO_LOG(IXO_ERROR, "attempt to make something read only that doesn't have write filter '%s'",
                path);
        return -1;
    }
    if (device::runDeviceCommand("sudo su -c \"ro\"") != 0) {
        IXO_LOG(IXO_ERROR, "Error trying to make / read only");
        return -1;
    }
    return 0;
}

IXO_API int ixoMakeWritable(const char *path, char **message) {
    if (message != nullptr) {
        *message = nullptr;
    }
    return makeWritable(path) == 0 ? 0 : -1;
}

IXO_API int ixoMakeReadOnly(const char *path, char **message) {
    if (message != nullptr) {
        *message = nullptr;
    }
    return makeWriteProtected(path) == 0 ? 0 : -1;
}

IXO_API int ixoGetWriteFilterStatus(const char *path, int *hasFilter, int *readOnly, char **message) {
    if (message != nullptr) {
        *message = nullptr;
    }
    int filter = hasWriteFilter(path);
    int protectedNow = ixoIsWritable(path) == 0 ? 1 : 0;
    if (hasFilter != nullptr) {
        *hasFilter = filter;
    }
    if (readOnly != nullptr) {
        *readOnly = protectedNow;
    }
    return 0;
}

IXO_API int ixoInitWriteFilterFunctions(void) { return 0; }

}  // extern "C"
