// What the firmware says about the device: the maker and model in SMBIOS,
// the TPM flag and the OEM strings.
#define IXO_MODULE "ImagingAsset"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/device.h"
#include "ixo/assets.h"
#include "log.h"

namespace {

constexpr int kDmiTextSize = 128;
constexpr int kTpmTextSize = 12;

// A buffer one byte longer than the size handed to the agent, so the text is
// terminated whatever the agent writes.
template <int Size>
struct DmiText {
    char text[Size + 1] = {0};
    explicit DmiText(const char *keyword) { ReadDmiString(keyword, text, Size); }
};

// The capture file of one dmidecode run: a private file under the device's
// /tmp, removed when done. The root file system is write-filtered, so the
// capture cannot live there.
struct CaptureFile {
    std::string hostPath;
    std::string devicePath;
    int fd = -1;

    bool create() {
        std::string pattern = device::deviceEntryPath("/tmp/device_details.XXXXXX");
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = ::mkstemp(name.data());
        if (fd < 0) {
            IXO_LOG(IXO_ERROR, "cannot create a capture file %s: %s", pattern.c_str(),
                    std::strerror(errno));
            return false;
        }
        hostPath = name.data();
        devicePath = "/tmp/" + hostPath.substr(hostPath.rfind('/') + 1);
        return true;
    }
    ~CaptureFile() {
        if (fd >= 0) {
            ::close(fd);
            if (::unlink(hostPath.c_str()) != 0) {
                IXO_LOG(IXO_ERROR, "cannot remove %s: %s", hostPath.c_str(), std::strerror(errno));
            }
        }
    }
};

bool readAll(int fd, std::string *text) {
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        return false;
    }
    char chunk[4096];
    for (;;) {
        ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        text->append(chunk, static_cast<size_t>(count));
    }
}

}  // namespace

extern "C" {

IXO_API int isThisNorvPlatform(void) {
    DmiText<kDmiTextSize> manufacturer("system-manufacturer");
    DmiText<kDmiTextSize> product("system-product-name");
    return std::strncmp(manufacturer.text, "Norv", 4) == 0 &&
                   (std::strncmp(product.text, "Lumora KT-4120", 14) == 0 ||
                    std::strncmp(product.text, "Lumora KT-4080", 14) == 0)
               ? 1
               : 0;
}

IXO_API int isTPMPresent(void) {
    IXO_LOG(IXO_PROGRESS, "Going to read tpm value");
    DmiText<kTpmTextSize> tpm("tpm");
    IXO_LOG(IXO_PROGRESS, "TPM string is %s", tpm.text);
    // The flag is the second character of the string.
    return tpm.text[0] != '\0' && tpm.text[1] == '1' ? 1 : 0;
}

IXO_API int is_Cisco_device(void) {
    IXO_LOG(IXO_ERROR, "Reading smbios");
    CaptureFile capture;
    if (!capture.create()) {
        return 0;
    }
    // SMBIOS structure type 11: the OEM strings.
    std::string line = "dmidecode -t 11 > " + device::shellQuote(capture.devicePath);
    if (device::runDeviceCommand(line) == -1) {
        IXO_LOG(IXO_ERROR, "cannot run '%s'", line.c_str());
        return 0;
    }
    std::string text;
    if (!readAll(capture.fd, &text)) {
        IXO_LOG(IXO_ERROR, "cannot read %s: %s", capture.hostPath.c_str(), std::strerror(errno));
        return 0;
    }
    return text.find("Cisco") != std::string::npos ? 1 : 0;
}

}  // extern "C"
