// The asset-tag file: one "name=value" line per tag of the configuration, for
// the device's other programs to read. It is replaced whole, through a new
// file beside it, so that a full disk or a killed agent leaves the old tags
// or the new ones, never a cut file.
#define IXO_MODULE "DeviceAsset"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "device/device.h"
#include "handles.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

const char kAssetTagFile[] = "/home/root/ixoAssetTags";
// Beside it, so that the rename stays within one file system.
const char kAssetTagTemplate[] = "/home/root/.ixoAssetTags.XXXXXX";

// Removes the new file unless it has been renamed into place.
struct TemporaryFile {
    std::string path;
    bool kept = false;
    ~TemporaryFile() {
        if (!path.empty() && !kept && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
            IXO_LOG(IXO_ERROR, "cannot remove '%s': %s", path.c_str(), std::strerror(errno));
        }
    }
};

int removeAssetTagFile() {
    std::string path = device::deviceEntryPath(kAssetTagFile);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        IXO_LOG(IXO_ERROR, "cannot remove assetTag file '%s': %s", kAssetTagFile,
                std::strerror(errno));
        return -1;
    }
    return 0;
}

bool writeTags(FILE *file, const AssetTagEntry *tags) {
    for (const AssetTagEntry *tag = tags; tag != nullptr; tag = tag->next) {
        if (std::fprintf(file, "%s=%s\n", fieldText(tag->name).c_str(),
                         fieldText(tag->value).c_str()) < 0) {
            return false;
        }
    }
    return std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
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

    std::string pattern = device::deviceEntryPath(kAssetTagTemplate);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0) {
        IXO_LOG(IXO_ERROR, "error opening assetTag file '%s' for writing", kAssetTagFile);
        IXO_LOG(IXO_ERROR, "cannot create '%s': %s", pattern.c_str(), std::strerror(errno));
        return -1;
    }
    TemporaryFile temporary{name.data()};
    // The mode a file created by the device's programs gets.
    if (::fchmod(descriptor, 0644) != 0) {
        IXO_LOG(IXO_ERROR, "cannot set the mode of '%s': %s", temporary.path.c_str(),
                std::strerror(errno));
        ::close(descriptor);
        return -1;
    }
    handles::File file(::fdopen(descriptor, "w"));
    if (!file) {
        IXO_LOG(IXO_ERROR, "error opening assetTag file '%s' for writing", kAssetTagFile);
        ::close(descriptor);
        return -1;
    }
    bool written = writeTags(file.get(), platformData->assetTags);
    int closed = std::fclose(file.release());
    if (!written || closed != 0) {
        IXO_LOG(IXO_ERROR, "error writing assetTag file '%s': %s", kAssetTagFile,
                std::strerror(errno));
        return -1;
    }
    std::string target = device::deviceEntryPath(kAssetTagFile);
    if (::rename(temporary.path.c_str(), target.c_str()) != 0) {
        IXO_LOG(IXO_ERROR, "cannot replace assetTag file '%s': %s", kAssetTagFile,
                std::strerror(errno));
        return -1;
    }
    temporary.kept = true;
    return 0;
}

}  // namespace platform
