// What makes the simulated thin client a particular platform: the answers of
// its system tool, its firmware's DMI and OEM strings, /proc/bios, and its
// drives with their master boot records. The platform's partition layout on
// the flash drive is what the image's platform type is read from.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/deviceParts.h"
#include "sim/fileOperations.h"
#include "sim/sim.h"

namespace sim {

namespace {

struct PlatformProfile {
    const char *codename;  // the row of the library's platform table
    const char *biosVersion;
    unsigned biosKiB;          // the BIOS flash, as /proc/bios reports it
    const char *manufacturer;  // DMI system vendor
    const char *productName;
    const char *biosVendor;
    const char *biosDate;
    int platformType;  // partition layout of the flash drive, 1 to 4
    std::vector<const char *> oemStrings;
};

// The first is the device sim-init builds unless told otherwise.
const std::vector<PlatformProfile> &profiles() {
    // clang-format off
    static const std::vector<PlatformProfile> table = {
        {"Zinth", "Z1.0.7", 1024, "TYVO", "M CLASS MT410", "Phoenix Technologies LTD",
         "03/14/2011", 4, {"tyvo-securitykey=5A17C3E9", "tpm=01"}},
        {"Nevika-SST49LF160C", "H2.3.1", 2048, "TYVO", "H CLASS HT520", "Phoenix Technologies LTD",
         "09/02/2012", 2, {"tyvo-securitykey=0000BEEF", "tpm=00"}},
        {"Korvel", "K0.9.12", 256, "TYVO", "6260 KE", "Insyde Corp.",
         "11/20/2008", 3, {"Cisco Systems, Inc.", "tyvo-securitykey=2C86F3B4"}},
        {"Tavorin", "T1.1.0", 1024, "TYVO", "M CLASS MT430", "Phoenix Technologies LTD",
         "05/30/2011", 1, {"tpm=11"}},
        {"Lirrane", "L3.0.2", 2048, "Norv", "Lumora KT-4120", "Insyde Corp.",
         "02/11/2014", 4, {"tpm=01"}},
        {"NPZ", "N2.0.4", 512, "TYVO", "NPZ CLASS NZ200", "Phoenix Technologies LTD",
         "07/07/2010", 4, {}},
    };
    // clang-format on
    return table;
}

const char kPlatformKnob[] = "/etc/sim/platform";

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kHeads = 255;
constexpr uint32_t kSectorsPerTrack = 63;

void put32(std::string *sector, size_t offset, uint32_t value) {
    for (int index = 0; index < 4; ++index) {
        (*sector)[offset + index] = static_cast<char>(value >> (8 * index));
    }
}

// Cylinder, head, sector of an LBA as a BIOS of the time encodes them;
// beyond cylinder 1023 the largest address.
void putChs(std::string *sector, size_t offset, uint32_t lba) {
    uint32_t cylinder = lba / (kHeads * kSectorsPerTrack);
    uint32_t head = lba / kSectorsPerTrack % kHeads;
    uint32_t sectorNumber = lba % kSectorsPerTrack + 1;
    if (cylinder > 1023) {
        cylinder = 1023;
        head = 254;
        sectorNumber = 63;
    }
    (*sector)[offset] = static_cast<char>(head);
    (*sector)[offset + 1] = static_cast<char>(sectorNumber | ((cylinder >> 2) & 0xC0));
    (*sector)[offset + 2] = static_cast<char>(cylinder & 0xFF);
}

// The flash drive's layouts, by platform type: a service partition (0x52)
// before an NTFS or Linux system, a FAT32 system, or Linux system and home
// partitions (the mounts of /proc/mounts).
std::vector<PartitionEntry> flashLayout(int platformType) {
    switch (platformType) {
        case 1:
            return {{0, 0x00, 0x52, 2048, 204800}, {1, 0x80, 0x07, 206848, 7606272}};
        case 2:
            return {{0, 0x00, 0x52, 2048, 204800}, {1, 0x80, 0x83, 206848, 7606272}};
        case 3:
            return {{0, 0x80, 0x0B, 63, 1000881}};
        default:
            return {{0, 0x80, 0x83, 2048, 1048576}, {1, 0x00, 0x83, 1050624, 2854912}};
    }
}

// A disk image: sector 0 and a few empty sectors after it.
std::string diskImage(const std::string &firstSector) {
    std::string image = firstSector;
    image.resize(8 * kSectorSize, '\0');
    return image;
}

// An SMBIOS type-11 structure as the kernel exposes it in .../raw: the
// formatted area (type, length 5, handle, string count), then the strings.
std::string oemStructure(const std::vector<const char *> &strings) {
    std::string raw;
    raw += static_cast<char>(11);
    raw += static_cast<char>(5);
    raw += static_cast<char>(0x00);
    raw += static_cast<char>(0x0B);
    raw += static_cast<char>(strings.size());
    for (const char *text : strings) {
        raw += text;
        raw += '\0';
    }
    if (strings.empty()) {
        raw += '\0';
    }
    raw += '\0';
    return raw;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const PlatformProfile *findProfile(const std::string &name) {
    for (const PlatformProfile &profile : profiles()) {
        if (lowerCase(profile.codename) == lowerCase(name)) {
            return &profile;
        }
    }
    return nullptr;
}

bool writeFile(const std::string &root, const std::string &path, const std::string &content,
               std::string *error) {
    std::string hostPath = root + path;
    return files::makeDirectories(hostPath.substr(0, hostPath.rfind('/')), 0755, error) &&
           files::replaceFile(hostPath, content, 0644, error);
}

bool writeProfile(const std::string &root, const PlatformProfile &profile, std::string *error) {
    const std::string vendor = profile.manufacturer;
    const std::pair<const char *, std::string> contents[] = {
        {kPlatformKnob, std::string(profile.codename) + "\n"},
        // What the image's system tool answers.
        {"/etc/sim/sys.platform", std::string(profile.codename) + "\n"},
        {"/etc/sim/sys.bios-version", std::string(profile.biosVersion) + "\n"},
        {"/proc/bios", std::string("BiosVendor: ") + profile.biosVendor + "\nBiosVersion: " +
                           profile.biosVersion + "\nBiosDate: " + profile.biosDate +
                           "\nMemorySize: " + std::to_string(profile.biosKiB) + "\n"},
        {"/sys/class/dmi/id/sys_vendor", vendor + "\n"},
        {"/sys/class/dmi/id/product_name", std::string(profile.productName) + "\n"},
        {"/sys/class/dmi/id/product_version", "1.0\n"},
        {"/sys/class/dmi/id/board_vendor", vendor + "\n"},
        {"/sys/class/dmi/id/board_name", std::string(profile.codename) + "\n"},
        {"/sys/class/dmi/id/bios_vendor", std::string(profile.biosVendor) + "\n"},
        {"/sys/class/dmi/id/bios_version", std::string(profile.biosVersion) + "\n"},
        {"/sys/class/dmi/id/bios_date", std::string(profile.biosDate) + "\n"},
        {"/sys/firmware/dmi/entries/11-0/type", "11\n"},
        {"/sys/firmware/dmi/entries/11-0/raw", oemStructure(profile.oemStrings)},
        {"/dev/sda", diskImage(masterBootRecord(flashLayout(profile.platformType)))},
    };
    for (const auto &file : contents) {
        if (!writeFile(root, file.first, file.second, error)) {
            return false;
        }
    }
    return true;
}

// Drives every platform carries: a CompactFlash card with one FAT16
// partition as the first IDE drive, and as the last drive of the second
// channel a disk wiped but for a stale partition entry: no signature, so no
// partition table.
bool writeIdeDrives(const std::string &root, std::string *error) {
    std::string wiped(kSectorSize, '\0');
    std::string stale = masterBootRecord({{0, 0x80, 0x06, 63, 250929}});
    wiped.replace(446, 16, stale, 446, 16);
    return writeFile(root, "/dev/hda", diskImage(masterBootRecord({{0, 0x80, 0x06, 63, 1000881}})),
                     error) &&
           writeFile(root, "/dev/hdd", diskImage(wiped), error) &&
           // The image names its fixed drive at boot.
           writeFile(root, "/tmp/FixedDevice", "sda\n", error);
}

}  // namespace

std::string masterBootRecord(const std::vector<PartitionEntry> &entries, bool withSignature) {
    std::string sector(kSectorSize, '\0');
    // The start of the usual boot code (cli; xor ax,ax; mov ss,ax; mov sp,0x7c00)
    // and a disk signature.
    static const unsigned char kBootCode[] = {0xFA, 0x33, 0xC0, 0x8E, 0xD0, 0xBC, 0x00, 0x7C};
    sector.replace(0, sizeof kBootCode, reinterpret_cast<const char *>(kBootCode),
                   sizeof kBootCode);
    put32(&sector, 440, 0x1C0FFEE5);
    for (const PartitionEntry &entry : entries) {
        if (entry.index < 0 || entry.index > 3) {
            continue;
        }
        size_t offset = 446 + 16 * static_cast<size_t>(entry.index);
        sector[offset] = static_cast<char>(entry.bootIndicator);
        putChs(&sector, offset + 1, entry.startSector);
        sector[offset + 4] = static_cast<char>(entry.type);
        putChs(&sector, offset + 5, entry.startSector + entry.sectorCount - 1);
        put32(&sector, offset + 8, entry.startSector);
        put32(&sector, offset + 12, entry.sectorCount);
    }
    if (withSignature) {
        sector[510] = static_cast<char>(0x55);
        sector[511] = static_cast<char>(0xAA);
    }
    return sector;
}

std::vector<std::string> platformNames() {
    std::vector<std::string> names;
    for (const PlatformProfile &profile : profiles()) {
        names.emplace_back(profile.codename);
    }
    return names;
}

bool isPlatformName(const std::string &name) { return findProfile(name) != nullptr; }

std::string platformOf(const std::string &root) {
    std::string content;
    std::string error;
    if (!files::readFile(root + kPlatformKnob, &content, &error)) {
        return "";
    }
    while (!content.empty() && (content.back() == '\n' || content.back() == ' ')) {
        content.pop_back();
    }
    return content;
}

bool setPlatform(const std::string &root, const std::string &name, std::string *error) {
    const PlatformProfile *profile = findProfile(name);
    if (profile == nullptr) {
        std::string known;
        for (const std::string &candidate : platformNames()) {
            known += (known.empty() ? "" : ", ") + candidate;
        }
        *error = "no simulated platform '" + name + "' (known: " + known + ")";
        return false;
    }
    return writeProfile(root, *profile, error) && writeIdeDrives(root, error);
}

bool writePlatformFiles(const std::string &root, const std::string &chosen, std::string *error) {
    if (!chosen.empty()) {
        return setPlatform(root, chosen, error);
    }
    // A refresh keeps the platform the device was made.
    std::string current = platformOf(root);
    const PlatformProfile *profile = current.empty() ? nullptr : findProfile(current);
    return setPlatform(root, profile != nullptr ? profile->codename : profiles().front().codename,
                       error);
}

}  // namespace sim
