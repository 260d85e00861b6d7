// The device's own inventory: memory, platform, BIOS, processor and the
// first interface's MAC address, each from one command line of the image,
// and the BIOS flash and RAM sizes.
#define IXO_MODULE "ImagingAsset"

#include <sys/sysinfo.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "assets/assetsInternal.h"
#include "fixedFields.h"
#include "ixo/assets.h"
#include "log.h"

namespace {

const char kMemoryCommand[] =
    "cat /proc/meminfo | grep MemTotal | cut -d ':' -f2 | awk '{print $1}'";
const char kPlatformCommand[] = "sys get platform";
const char kBiosVersionCommand[] = "sys get bios-version";
const char kProcessorVendorCommand[] = " cat /proc/cpuinfo | grep vendor_id | cut -d ':' -f2";
const char kProcessorSpeedCommand[] = " cat /proc/cpuinfo | grep 'cpu MHz' | cut -d ':' -f2 ";
const char kMacCommand[] = "ifconfig | grep HWaddr | awk '{print $5}' | head -1";
const char kBiosSizeCommand[] = " grep \"MemorySize:\" < /proc/bios | cut -d \" \" -f 2";

// The leading decimal number of a text, as atol reads it (blanks skipped,
// stops at the first non-digit), without its undefined overflow.
long leadingNumber(const char *text) { return std::strtol(text, nullptr, 10); }

// What the command printed, kept exactly (line break included); "" when it
// could not be run.
void storeOutput(const char *command, char *field) {
    char output[assets::kCommandOutputSize] = {0};
    if (assets::readCommandOutput(command, output) != 0) {
        output[0] = '\0';
    }
    fields::copyText(field, IXO_TEXT_FIELD_SIZE, output);
}

uint32_t numberOutput(const char *command) {
    char output[assets::kCommandOutputSize] = {0};
    if (assets::readCommandOutput(command, output) != 0) {
        return 0;
    }
    return static_cast<uint32_t>(leadingNumber(output));
}

}  // namespace

extern "C" {

IXO_API int getdeviceAsset(PlatformData *platformData) {
    IXO_LOG(IXO_PROGRESS, "inside getdeviceAsset");
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    platformData->totalMemory = numberOutput(kMemoryCommand);
    storeOutput(kPlatformCommand, platformData->platform);
    storeOutput(kBiosVersionCommand, platformData->biosVersion);
    getBiosName(platformData->biosName, platformData->platform);
    storeOutput(kProcessorVendorCommand, platformData->processorType);
    platformData->processorSpeed = numberOutput(kProcessorSpeedCommand);
    int result = getEpromAssets(platformData);
    if (result < 0) {
        IXO_LOG(IXO_PROGRESS, "Failed to read Security key and Serial Number");
        return -1;
    }
    return result;
}

IXO_API void getNetworkAsset(PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return;
    }
    NetworkInterface *net = addNetworkInterface(platformData);
    if (net == nullptr) {
        IXO_LOG(IXO_ERROR, "could not add a network interface");
        return;
    }
    storeOutput(kMacCommand, net->mac);
}

IXO_API int getBiosAsset(uint32_t *size) {
    if (size == nullptr) {
        return -1;
    }
    char output[assets::kCommandOutputSize] = {0};
    if (assets::readCommandOutput(kBiosSizeCommand, output) != 0) {
        return -1;
    }
    // /proc/bios gives the flash size in KiB.
    *size = static_cast<uint32_t>(static_cast<int>(leadingNumber(output))) * 1024u;
    return 0;
}

IXO_API unsigned long getRamSize(void) {
    struct sysinfo info;
    if (::sysinfo(&info) != 0) {
        IXO_LOG(IXO_ERROR, "sysinfo failed: %s", std::strerror(errno));
        return 0;
    }
    IXO_LOG(IXO_PROGRESS, "Total Ram size %lu", info.totalram);
    IXO_LOG(IXO_PROGRESS, "Free Ram  size %lu", info.freeram);
    return info.totalram;
}

}  // extern "C"
