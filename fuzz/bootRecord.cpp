// Master boot records: the platform type and the media inventory read the
// partition table of the first sector of a drive. Any drive image, short or
// long, gives a platform type of 0 to 4 and well-formed media records.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/support/fuzzSupport.h"
#include "ixo/agent.h"
#include "ixo/assets.h"

namespace {

std::string root;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    root = fuzz::workDirectory() + "/disk-root";
    for (const char *dir : {"", "/dev", "/tmp"}) {
        mkdir((root + dir).c_str(), 0755);
    }
    fuzz::writeFile(root + "/tmp/FixedDevice", "sda\n");
    fuzz::useDeviceRoot(root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string image(reinterpret_cast<const char *>(data), size);
    fuzz::writeFile(root + "/dev/sda", image);
    fuzz::writeFile(root + "/dev/hdb", image);
    int type = getPlatformType();
    FUZZ_CHECK(type >= 0 && type <= 4, "platform type " + std::to_string(type));

    PlatformData *record = static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData)));
    FUZZ_CHECK(record != nullptr, "out of memory");
    FUZZ_CHECK(getSDFlashAsset(record) >= -1, "flash media");
    FUZZ_CHECK(getIdeAsset(record) == 0, "IDE media");
    unsigned count = 0;
    for (WriteableMediaEntry *media = record->writeableMedia; media != nullptr;
         media = media->next) {
        ++count;
    }
    FUZZ_CHECK(count == record->writeableMediaCount,
               "media list of " + std::to_string(count) + ", count " +
                   std::to_string(record->writeableMediaCount));
    freePlatformData(record);
    std::free(record);
    return 0;
}
