// SMBIOS strings as the kernel exposes them under the device root: the DMI
// identification files in /sys/class/dmi/id, and the OEM strings (structure
// type 11) in /sys/firmware/dmi/entries/11-*/raw, entries "keyword=value".
#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "ixo/agent.h"

namespace {

struct IdentificationFile {
    const char *keyword;
    const char *file;
};

// The keywords dmidecode -s knows, by the kernel's file for each.
const IdentificationFile kIdentificationFiles[] = {
    {"system-manufacturer", "sys_vendor"},
    {"system-product-name", "product_name"},
    {"system-version", "product_version"},
    {"system-serial-number", "product_serial"},
    {"system-uuid", "product_uuid"},
    {"bios-vendor", "bios_vendor"},
    {"bios-version", "bios_version"},
    {"bios-release-date", "bios_date"},
    {"baseboard-manufacturer", "board_vendor"},
    {"baseboard-product-name", "board_name"},
    {"baseboard-version", "board_version"},
    {"chassis-manufacturer", "chassis_vendor"},
};

constexpr unsigned char kOemStringsType = 11;
// Formatted area of an OEM-strings structure: type, length, handle, count.
constexpr size_t kOemHeaderSize = 5;
// Sysfs files are small; nothing longer is read.
constexpr std::streamsize kMaximumFileSize = 64 * 1024;

bool readSmallFile(const std::string &path, std::string *content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<char> bytes(static_cast<size_t>(kMaximumFileSize));
    in.read(bytes.data(), kMaximumFileSize);
    if (in.bad()) {
        return false;
    }
    content->assign(bytes.data(), static_cast<size_t>(in.gcount()));
    return true;
}

bool identificationString(const char *keyword, std::string *value) {
    for (const IdentificationFile &entry : kIdentificationFiles) {
        if (std::strcmp(keyword, entry.keyword) != 0) {
            continue;
        }
        std::string path = agent::devicePath(std::string("/sys/class/dmi/id/") + entry.file);
        if (!readSmallFile(path, value)) {
            return false;
        }
        if (!value->empty() && value->back() == '\n') {
            value->pop_back();
        }
        return true;
    }
    return false;
}

// The strings of one raw type-11 structure, in order.
std::vector<std::string> oemStrings(const std::string &raw) {
    std::vector<std::string> strings;
    if (raw.size() < kOemHeaderSize || static_cast<unsigned char>(raw[0]) != kOemStringsType) {
        return strings;
    }
    size_t length = static_cast<unsigned char>(raw[1]);
    if (length < kOemHeaderSize || length > raw.size()) {
        return strings;
    }
    size_t position = length;
    while (position < raw.size() && raw[position] != '\0') {
        size_t end = raw.find('\0', position);
        if (end == std::string::npos) {
            end = raw.size();
        }
        strings.push_back(raw.substr(position, end - position));
        position = end + 1;
    }
    return strings;
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

// "11-0", "11-1" ...: the OEM-strings structures, in the firmware's order.
std::vector<std::string> oemEntries() {
    std::vector<std::pair<long, std::string>> found;
    const std::string entries = "/sys/firmware/dmi/entries";
    std::unique_ptr<DIR, DirCloser> dir(opendir(agent::devicePath(entries).c_str()));
    if (!dir) {
        return {};
    }
    while (const dirent *entry = readdir(dir.get())) {
        const char *name = entry->d_name;
        if (std::strncmp(name, "11-", 3) != 0) {
            continue;
        }
        char *end = nullptr;
        long instance = std::strtol(name + 3, &end, 10);
        if (end != name + 3 && *end == '\0') {
            found.emplace_back(instance, agent::devicePath(entries + "/" + name + "/raw"));
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (const auto &entry : found) {
        paths.push_back(entry.second);
    }
    return paths;
}

bool oemString(const char *keyword, std::string *value) {
    std::string prefix = std::string(keyword) + "=";
    for (const std::string &path : oemEntries()) {
        std::string raw;
        if (!readSmallFile(path, &raw)) {
            continue;
        }
        for (const std::string &text : oemStrings(raw)) {
            if (text.compare(0, prefix.size(), prefix) == 0) {
                *value = text.substr(prefix.size());
                return true;
            }
        }
    }
    return false;
}

}  // namespace

// 0 with the string in buffer (cut to size - 1 characters), -1 with buffer
// empty when the firmware has no such string or it cannot be read.
extern "C" int ReadDmiString(const char *keyword, char *buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return -1;
    }
    buffer[0] = '\0';
    if (keyword == nullptr) {
        return -1;
    }
    std::string value;
    if (!identificationString(keyword, &value) && !oemString(keyword, &value)) {
        ixoLogger("Agent", __func__, __LINE__, 4, "no SMBIOS string '%s'", keyword);
        return -1;
    }
    size_t length = std::min(value.size(), static_cast<size_t>(size) - 1);
    length = std::min(length, std::strlen(value.c_str()));
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    ixoLogger("Agent", __func__, __LINE__, 4, "SMBIOS string '%s' is '%s'", keyword, buffer);
    return 0;
}
