// Sector 0 of a drive, read through the device root and never opened for
// writing: inventory only looks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "assets/assetsInternal.h"
#include "device/device.h"
#include "handles.h"

namespace assets {

SectorRead readFirstSector(const std::string &devicePath, unsigned char *sector, int *openedFd) {
    handles::Descriptor drive{
        ::open(device::devicePath(devicePath).c_str(), O_RDONLY | O_CLOEXEC)};
    if (openedFd != nullptr) {
        *openedFd = drive.fd;
    }
    if (drive.fd < 0) {
        return SectorRead::NotOpened;
    }
    // A directory (a drive name left empty gives "/dev/") is no drive.
    struct stat info;
    if (::fstat(drive.fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        if (openedFd != nullptr) {
            *openedFd = -1;
        }
        return SectorRead::NotOpened;
    }
    size_t done = 0;
    while (done < kSectorSize) {
        ssize_t count = ::read(drive.fd, sector + done, kSectorSize - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return SectorRead::ShortRead;
        }
        done += static_cast<size_t>(count);
    }
    return SectorRead::Done;
}

}  // namespace assets
