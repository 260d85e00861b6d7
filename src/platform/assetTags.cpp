// The asset-tag file: one "name=value" line per tag of the configuration, for
// the device's other programs to read. It is replaced whole (see
// device/replacementFile.h), so that a full disk or a killed agent leaves the
// old tags or the new ones, never a cut file.
#define IXO_MODULE "DeviceAsset"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "device/device.h"
#include "device/replacementFile.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

const char kAssetTagFile[] = "/home/root/ixoAssetTags";

int removeAssetTagFile() {
    std::string path = device::deviceEntryPath(kAssetTagFile);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        IXO_LOG(IXO_ERROR, "cannot remove assetTag file '%s': %s", kAssetTagFile,
                std::strerror(errno));
        return -1;
    }
    return 0;
}

std::string tagLines(const AssetTagEntry *tags) {
    std::string lines;
    for (const AssetTagEntry *tag = tags; tag != nullptr; tag = tag->next) {
        lines += fieldText(tag->name) + "=" + fieldText(tag->value) + "\n";
    }
    return lines;
}

}  // namespace

int setAssetConfig(const PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Error, NULL plaformData");
        return -1;
    }
    if (platformData->assetTags == nullptr) {
        return removeAssetTagFile();
    }
    device::ReplacementFile file;
    std::string error;
    if (!file.create(device::deviceEntryPath(kAssetTagFile), kAssetTagFile, &error)) {
        IXO_LOG(IXO_ERROR, "error opening assetTag file '%s' for writing", kAssetTagFile);
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
        return -1;
    }
    std::string lines = tagLines(platformData->assetTags);
    if (file.write(lines.data(), lines.size(), &error) < lines.size()) {
        IXO_LOG(IXO_ERROR, "error writing assetTag file '%s': %s", kAssetTagFile, error.c_str());
        return -1;
    }
    if (!file.commit(&error)) {
        IXO_LOG(IXO_ERROR, "cannot replace assetTag file '%s': %s", kAssetTagFile, error.c_str());
        return -1;
    }
    return 0;
}

}  // namespace platform
