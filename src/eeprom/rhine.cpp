// VIA Rhine: a 93C46 Microwire EEPROM (64 words of 16 bits) driven bit by
// bit through the controller's EEPROM control/status register, and the VIA
// image layout that the Velocity shares.
#define IXO_MODULE "EepromFunctions"

#include "eeprom/eepromInternal.h"
#include "eeprom/families.h"
#include "log.h"

namespace {

constexpr unsigned short kEecsr = 0x74;
constexpr unsigned short kConfig = 0x78;
constexpr unsigned char kDirectProgramming = 0x10;
constexpr unsigned char kDataOut = 0x01;
// Any of these set and the controller holds the EEPROM itself (loading or
// programming it): the lines do not reach the EEPROM, for a read or a write.
constexpr unsigned char kControllerHolds = 0x70;

// Line patterns; all keep direct programming on.
constexpr unsigned char kIdle = 0x10;
constexpr unsigned char kCloseClock = 0x14;
constexpr unsigned char kZeroSetUp = 0x18;
constexpr unsigned char kZeroClocked = 0x1c;
constexpr unsigned char kOneSetUp = 0x1a;
constexpr unsigned char kOneClocked = 0x1e;

constexpr unsigned char kReadOpcode = 0x80;
constexpr unsigned char kWriteOpcode = 0x40;
constexpr unsigned short kWriteEnable = 0x30;
constexpr unsigned short kWriteDisable = 0x00;
constexpr int kReadyPolls = 4095;
// The lines need time to settle after every EECSR access.
constexpr unsigned long kSettleUnits = 10;

unsigned char SROMbyReadEECSR(unsigned short ioBase) {
    unsigned char value = 0;
    VNSvInPortB(static_cast<unsigned short>(ioBase + kEecsr), &value);
    eeprom::waitDelayUnits(kSettleUnits);
    return value;
}

void SROMvWriteEECSR(unsigned short ioBase, unsigned char value) {
    VNSvOutPortB(static_cast<unsigned short>(ioBase + kEecsr), value);
    eeprom::waitDelayUnits(kSettleUnits);
}

void setBits(unsigned short port, unsigned char bits) {
    unsigned char value = 0;
    VNSvInPortB(port, &value);
    VNSvOutPortB(port, static_cast<unsigned char>(value | bits));
}

void keepBits(unsigned short port, unsigned char mask) {
    unsigned char value = 0;
    VNSvInPortB(port, &value);
    VNSvOutPortB(port, static_cast<unsigned char>(value & mask));
}

bool controllerHolds(unsigned short ioBase) {
    return (SROMbyReadEECSR(ioBase) & kControllerHolds) != 0;
}

// Selects the chip and clocks in the start bit.
void openAccess(unsigned short ioBase) {
    setBits(static_cast<unsigned short>(ioBase + kConfig), eeprom::kViaConfigAccess);
    setBits(static_cast<unsigned short>(ioBase + kEecsr), kDirectProgramming);
    SROMvWriteEECSR(ioBase, kIdle);
    SROMvWriteEECSR(ioBase, kZeroSetUp);
    SROMvWriteEECSR(ioBase, kOneSetUp);
    SROMvWriteEECSR(ioBase, kOneClocked);
}

void closeAccess(unsigned short ioBase) {
    keepBits(static_cast<unsigned short>(ioBase + kEecsr), 0xef);
    keepBits(static_cast<unsigned short>(ioBase + kConfig), 0x7f);
}

void sendBit(unsigned short ioBase, bool one) {
    SROMvWriteEECSR(ioBase, one ? kOneSetUp : kZeroSetUp);
    SROMvWriteEECSR(ioBase, one ? kOneClocked : kZeroClocked);
}

void sendBits(unsigned short ioBase, unsigned int value, int count) {
    for (int bit = count - 1; bit >= 0; --bit) {
        sendBit(ioBase, ((value >> bit) & 1u) != 0);
    }
}

// Reads every word the controller lets through, each after the same look at
// EECSR that a word write takes; a held word would read as zeros, so it is
// left as it was. True only when every word was read.
bool readAllWords(unsigned short ioBase, unsigned char *image) {
    int done = 0;
    for (int address = 0; address < eeprom::kViaWords; ++address) {
        if (controllerHolds(ioBase)) {
            continue;
        }
        eeprom::setImageWord(image, address,
                             SROMwReadDirect(ioBase, static_cast<unsigned char>(address)));
        ++done;
    }
    if (done != eeprom::kViaWords) {
        IXO_LOG(IXO_ERROR, "the controller let %d of %d words be read", done, eeprom::kViaWords);
    }
    return done == eeprom::kViaWords;
}

// Writes every word in order, whatever the previous word's outcome; true
// only when the EEPROM took them all.
bool writeAllWords(unsigned short ioBase, const unsigned short *words) {
    SROMvIssueDirect(ioBase, kWriteEnable);
    int written = 0;
    for (int address = 0; address < eeprom::kViaWords; ++address) {
        if (SROMbWriteDirect(ioBase, static_cast<unsigned char>(address), words[address]) == 1) {
            ++written;
        }
    }
    SROMvIssueDirect(ioBase, kWriteDisable);
    if (written != eeprom::kViaWords) {
        IXO_LOG(IXO_ERROR, "the EEPROM took %d of %d words", written, eeprom::kViaWords);
    }
    return written == eeprom::kViaWords;
}

}  // namespace

namespace eeprom {

bool writeRhineImage(unsigned short ioBase, const unsigned char *image) {
    unsigned short words[kViaWords];
    for (int index = 0; index < kViaWords; ++index) {
        words[index] = imageWord(image, index);
    }
    return writeAllWords(ioBase, words);
}

void mergeViaAssets(unsigned char *image, unsigned char *record) {
    if (requested(record, ASSET_SECURITY_KEY)) {
        IXO_LOG(IXO_PROGRESS, "calling viaGetSecurityKey function");
    }
    mergeRecord(rhineFamily(), image, record);
    storeChecksums(rhineFamily(), image);
}

}  // namespace eeprom

extern "C" {

IXO_API unsigned short SROMwReadDirect(unsigned short ioBase, unsigned char wordAddress) {
    openAccess(ioBase);
    sendBits(ioBase, static_cast<unsigned char>(wordAddress | kReadOpcode), 8);
    unsigned short word = 0;
    for (int bit = 0; bit < 16; ++bit) {
        SROMvWriteEECSR(ioBase, kZeroSetUp);
        SROMvWriteEECSR(ioBase, kZeroClocked);
        word = static_cast<unsigned short>((word << 1) | (SROMbyReadEECSR(ioBase) & kDataOut));
    }
    SROMvWriteEECSR(ioBase, kIdle);
    closeAccess(ioBase);
    return word;
}

IXO_API void SROMvIssueDirect(unsigned short ioBase, unsigned short command) {
    openAccess(ioBase);
    for (int bit = 7; bit >= 0; --bit) {
        sendBit(ioBase, ((command >> bit) & 1u) != 0);
        SROMvWriteEECSR(ioBase, kZeroSetUp);
    }
    SROMvWriteEECSR(ioBase, kIdle);
    SROMvWriteEECSR(ioBase, kCloseClock);
    closeAccess(ioBase);
}

IXO_API unsigned char SROMbWriteDirect(unsigned short ioBase, unsigned char wordAddress,
                                       unsigned short word) {
    if (controllerHolds(ioBase)) {
        return 0;
    }
    openAccess(ioBase);
    sendBits(ioBase, static_cast<unsigned char>(wordAddress | kWriteOpcode), 8);
    sendBits(ioBase, word, 16);
    // Deselecting and selecting again makes the EEPROM show busy, then ready,
    // on its data line.
    SROMvWriteEECSR(ioBase, kIdle);
    SROMvWriteEECSR(ioBase, kZeroSetUp);
    bool ready = false;
    for (int poll = 0; poll < kReadyPolls && !ready; ++poll) {
        ready = (SROMbyReadEECSR(ioBase) & kDataOut) != 0;
    }
    SROMvWriteEECSR(ioBase, kIdle);
    closeAccess(ioBase);
    return ready ? 1 : 0;
}

IXO_API void SROMvReadAllContents(unsigned short ioBase, unsigned short *words) {
    if (words == nullptr) {
        return;
    }
    for (int address = 0; address < eeprom::kViaWords; ++address) {
        words[address] = SROMwReadDirect(ioBase, static_cast<unsigned char>(address));
    }
}

IXO_API void SROMvWriteAllContents(unsigned short ioBase, const unsigned short *words) {
    if (words != nullptr) {
        writeAllWords(ioBase, words);
    }
}

IXO_API unsigned char *viaGetMacAddress(unsigned char *image) {
    return image + eeprom::placeOf(eeprom::rhineFamily(), ASSET_MAC_ADDRESS).writeOffset;
}
IXO_API unsigned char *viaGetActiveCheckSum(unsigned char *image) {
    return eeprom::checksumAt(eeprom::rhineFamily().active, image);
}
IXO_API unsigned char *viaGetHardwareRevision(unsigned char *image) {
    return image + eeprom::placeOf(eeprom::rhineFamily(), ASSET_HARDWARE_REVISION).writeOffset;
}
IXO_API unsigned char *viaGetSecurityKey(unsigned char *image) {
    return image + eeprom::placeOf(eeprom::rhineFamily(), ASSET_SECURITY_KEY).writeOffset;
}
IXO_API unsigned char *viaGetSerialNumber(unsigned char *image) {
    return image + eeprom::placeOf(eeprom::rhineFamily(), ASSET_SERIAL_NUMBER).writeOffset;
}
IXO_API unsigned char *viaGetFullCheckSum(unsigned char *image) {
    return eeprom::checksumAt(eeprom::rhineFamily().full, image);
}

IXO_API int readViaEeprom(unsigned short ioBase, unsigned char *image) {
    IXO_LOG(IXO_PROGRESS, "Inside readViaEeprom function");
    if (image == nullptr) {
        return 0;
    }
    // Only the controller's refusal shows: the lines cannot tell a missing
    // EEPROM from one that answers.
    return readAllWords(ioBase, image) ? 1 : 0;
}

IXO_API void fillViaEepromAsset(unsigned char *image, unsigned char *record) {
    if (image != nullptr && record != nullptr) {
        eeprom::fillRecord(eeprom::rhineFamily(), image, record);
    }
}

IXO_API int writeViaEeprom(unsigned short ioBase, unsigned char *image, unsigned char *record) {
    IXO_LOG(IXO_PROGRESS, "Inside writeViaEeprom function");
    if (image == nullptr || record == nullptr) {
        return 0;
    }
    eeprom::mergeViaAssets(image, record);
    IXO_LOG(IXO_PROGRESS, "calling SROMvWriteAllContents");
    return eeprom::writeRhineImage(ioBase, image) ? 1 : 0;
}

}  // extern "C"
