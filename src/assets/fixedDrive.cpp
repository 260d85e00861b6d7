// The built-in (fixed) drive: its kernel name, written by the image to
// /tmp/FixedDevice, and what its partition table says about the installed
// image.
#define IXO_MODULE "ImagingAsset"

#include <cstdio>
#include <cstring>
#include <string>

#include "assets/assetsInternal.h"
#include "device/device.h"
#include "handles.h"
#include "ixo/assets.h"
#include "log.h"

namespace {

constexpr size_t kFirstTypeOffset = 450;   // partition type of entry 0 (446 + 4)
constexpr size_t kSecondTypeOffset = 466;  // partition type of entry 1 (462 + 4)

int platformTypeOf(const unsigned char *sector) {
    switch (sector[kFirstTypeOffset]) {
        case 0x52:
            switch (sector[kSecondTypeOffset]) {
                case 0x07:
                    return 1;
                case 0x0B:
                case 0x83:
                    return 2;
                default:
                    return 0;
            }
        case 0x0B:
            return 3;
        case 0x83:
            return 4;
        default:
            return 0;
    }
}

}  // namespace

extern "C" {

IXO_API char fixedDriveName[IXO_FIXED_DRIVE_NAME_SIZE] = {0};

IXO_API void fixedDrive(void) {
    std::memset(fixedDriveName, 0, sizeof fixedDriveName);
    IXO_LOG(IXO_NOTICE, "Fixed Drive Name: %s", fixedDriveName);
    handles::File file(std::fopen(device::devicePath("/tmp/FixedDevice").c_str(), "r"));
    if (!file) {
        IXO_LOG(IXO_NOTICE, "Error while opening file.");
        return;
    }
    static_assert(IXO_FIXED_DRIVE_NAME_SIZE == 128, "the conversion below reads 127 characters");
    if (std::fscanf(file.get(), "%127s", fixedDriveName) != 1) {
        fixedDriveName[0] = '\0';
    }
    IXO_LOG(IXO_NOTICE, "Fixed Drive Name: %s", fixedDriveName);
}

IXO_API int getPlatformType(void) {
    unsigned char sector[assets::kSectorSize] = {0};
    fixedDrive();
    std::string drive = std::string("/dev/") + fixedDriveName;
    int fd = -1;
    switch (assets::readFirstSector(drive, sector, &fd)) {
        case assets::SectorRead::NotOpened:
            IXO_LOG(IXO_PROGRESS, "Error Open Device %d", fd);
            return 0;
        case assets::SectorRead::ShortRead:
            IXO_LOG(IXO_ERROR, "Can't read the device.");
            return 0;
        case assets::SectorRead::Done:
            break;
    }
    return platformTypeOf(sector);
}

}  // extern "C"
