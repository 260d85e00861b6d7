// The writable media: one entry per partition of the flash drive and of each
// IDE drive, from the master boot record in sector 0.
#define IXO_MODULE "ImagingAsset"

#include <cstring>
#include <string>

#include "assets/assetsInternal.h"
#include "fixedFields.h"
#include "ixo/assets.h"
#include "log.h"

namespace {

constexpr size_t kPartitionTable = 446;
constexpr size_t kPartitionEntrySize = 16;
constexpr int kPartitionEntries = 4;
constexpr uint32_t kWholeIdeDisk = 0xFFFF;
constexpr int kIdeChannels = 10;

uint32_t littleEndian32(const unsigned char *bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool hasSignature(const unsigned char *sector) {
    return sector[510] == 0x55 && sector[511] == 0xAA;
}

WriteableMediaEntry *addEntry(PlatformData *platformData, const char *deviceName) {
    WriteableMediaEntry *entry = addWriteableMedia(platformData);
    if (entry == nullptr) {
        IXO_LOG(IXO_ERROR, "could not add a writeable media entry for %s", deviceName);
        return nullptr;
    }
    fields::copyText(entry->deviceName, sizeof entry->deviceName, deviceName);
    return entry;
}

}  // namespace

namespace assets {

void addMediaPartitions(const unsigned char *sector, PlatformData *platformData, int channel,
                        int drive, const char *deviceName) {
    const bool ide = std::strcmp(deviceName, "ide") == 0;
    int added = 0;
    if (hasSignature(sector)) {
        for (int index = 0; index < kPartitionEntries; ++index) {
            const unsigned char *partition = sector + kPartitionTable + kPartitionEntrySize * index;
            if (partition[4] == 0) {
                continue;
            }
            WriteableMediaEntry *entry = addEntry(platformData, deviceName);
            if (entry == nullptr) {
                return;
            }
            if (ide) {
                entry->ideDrive = static_cast<uint8_t>(drive);
                entry->ideChannel = static_cast<uint8_t>(channel);
            }
            entry->partitionNumber = static_cast<uint8_t>(index);
            entry->bootIndicator = partition[0];
            entry->partitionType = partition[4];
            entry->startSector = littleEndian32(partition + 8);
            entry->sectorCount = littleEndian32(partition + 12);
            ++added;
        }
    }
    if (added > 0) {
        return;
    }
    // No partition table: the whole disk is one medium.
    WriteableMediaEntry *entry = addEntry(platformData, deviceName);
    if (entry != nullptr && ide) {
        entry->ideDrive = static_cast<uint8_t>(drive);
        entry->ideChannel = static_cast<uint8_t>(channel);
        entry->partitionType = kWholeIdeDisk;
    }
}

}  // namespace assets

extern "C" {

IXO_API int getSDFlashAsset(PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    unsigned char sector[assets::kSectorSize];
    switch (assets::readFirstSector("/dev/sda", sector)) {
        case assets::SectorRead::NotOpened:
            return 0;
        case assets::SectorRead::ShortRead:
            IXO_LOG(IXO_ERROR, "cannot read the first sector of /dev/sda");
            return -1;
        case assets::SectorRead::Done:
            break;
    }
    assets::addMediaPartitions(sector, platformData, 0, 0, "sdflash");
    return 0;
}

IXO_API int getIdeAsset(PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    for (int channel = 0; channel < kIdeChannels; ++channel) {
        for (int drive = 0; drive < 2; ++drive) {
            std::string path = "/dev/hd";
            path += static_cast<char>('a' + 2 * channel + drive);
            unsigned char sector[assets::kSectorSize];
            if (assets::readFirstSector(path, sector) == assets::SectorRead::Done) {
                assets::addMediaPartitions(sector, platformData, channel, drive, "ide");
            }
        }
    }
    return 0;
}

}  // extern "C"
