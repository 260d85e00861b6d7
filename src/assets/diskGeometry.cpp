// A drive's geometry as the kernel reports it, and the sector count it gives.
#define IXO_MODULE "ImagingAsset"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "device/device.h"
#include "ixo/assets.h"
#include "log.h"

extern "C" {

IXO_API int getDiskGeometry(const char *path, int *cylinders, int *heads, int *sectors) {
    if (path == nullptr || cylinders == nullptr || heads == nullptr || sectors == nullptr) {
        return -1;
    }
    int fd = ::open(device::devicePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct hd_geometry geometry = {};
    int result = ::ioctl(fd, HDIO_GETGEO, &geometry);
    ::close(fd);
    if (result != 0) {
        return -1;
    }
    *cylinders = geometry.cylinders;
    *heads = geometry.heads;
    *sectors = geometry.sectors;
    IXO_LOG(IXO_PROGRESS, "head %d", *heads);
    IXO_LOG(IXO_PROGRESS, "sector %d", *sectors);
    IXO_LOG(IXO_PROGRESS, "cyl %d", *cylinders);
    return 0;
}

IXO_API int getTotalSectorsInDrive(const char *path, uint32_t *total) {
    int cylinders = 0;
    int heads = 0;
    int sectors = 0;
    if (total == nullptr || getDiskGeometry(path, &cylinders, &heads, &sectors) != 0) {
        return -1;
    }
    *total = static_cast<uint32_t>(cylinders) * static_cast<uint32_t>(heads) *
             static_cast<uint32_t>(sectors);
    IXO_LOG(IXO_PROGRESS, "Total sectors on disk %u", *total);
    return 0;
}

}  // extern "C"
