// VIA Velocity: an embedded engine reads or writes one EEPROM word on
// command through address, data and command registers. Image layout and
// checksums are the VIA ones (rhine.cpp).
#define IXO_MODULE "EepromFunctions"

#include "eeprom/eepromInternal.h"
#include "log.h"

namespace {

constexpr unsigned char kConfig = 0x7a;
constexpr unsigned char kWriteData = 0x8c;
constexpr unsigned char kEecsr = 0x93;
constexpr unsigned char kReadData = 0x94;
constexpr unsigned char kAddress = 0x96;
constexpr unsigned char kCommand = 0x97;

// Either bit set: the engine starts no command.
constexpr unsigned char kEngineRefuses = 0x30;
constexpr unsigned char kEmbeddedEnable = 0x40;
constexpr unsigned char kReadCommand = 0x01;
constexpr unsigned char kWriteCommand = 0x02;
constexpr unsigned short kBeginWrites = 0x04;
constexpr unsigned short kEndWrites = 0x08;
constexpr int kCommandChecks = 4095;
constexpr unsigned short kCheckDelay = 10;

unsigned short reg(unsigned short ioBase, unsigned char offset) {
    return static_cast<unsigned short>(ioBase + offset);
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

enum class Kind { Read, Write, Issue };

// One command of the engine. False when it was refused or did not finish;
// a read's word goes to *readWord.
bool runCommand(unsigned short ioBase, Kind kind, unsigned char command, unsigned char address,
                unsigned short word, unsigned short *readWord) {
    if ((MACbyReadEECSRNevika(ioBase) & kEngineRefuses) != 0) {
        return false;
    }
    setBits(reg(ioBase, kConfig), eeprom::kViaConfigAccess);
    if (kind != Kind::Issue) {
        VNSvOutPortB(reg(ioBase, kAddress), address);
    }
    if (kind == Kind::Write) {
        VNSvOutPortW(reg(ioBase, kWriteData), word);
    }
    setBits(reg(ioBase, kEecsr), kEmbeddedEnable);
    setBits(reg(ioBase, kCommand), command);
    bool finished = false;
    for (int check = 0; check < kCommandChecks; ++check) {
        if (MACbIsRegBitsOff(ioBase, kCommand, command) == 1) {
            finished = true;
            break;
        }
        PCAvDelayByIO(kCheckDelay);
    }
    keepBits(reg(ioBase, kEecsr), 0xbf);
    keepBits(reg(ioBase, kConfig), 0x7f);
    if (!finished) {
        return false;
    }
    if (kind == Kind::Read) {
        VNSvInPortW(reg(ioBase, kReadData), readWord);
    }
    return true;
}

}  // namespace

namespace eeprom {

// Every word in order between the engine's start and end commands, whatever
// the previous word's outcome.
bool writeVelocityImage(unsigned short ioBase, const unsigned char *image) {
    bool begun = SROMbIssueEmbeded(ioBase, kBeginWrites) == 1;
    int written = 0;
    for (int address = 0; address < kViaWords; ++address) {
        if (SROMbWriteEmbededNevika(ioBase, 0, static_cast<unsigned char>(address),
                                    imageWord(image, address)) == 1) {
            ++written;
        }
    }
    bool ended = SROMbIssueEmbeded(ioBase, kEndWrites) == 1;
    if (!begun || written != kViaWords || !ended) {
        IXO_LOG(IXO_ERROR, "the EEPROM engine wrote %d of %d words (start %s, end %s)", written,
                kViaWords, begun ? "done" : "failed", ended ? "done" : "failed");
        return false;
    }
    return true;
}

}  // namespace eeprom

extern "C" {

IXO_API unsigned char MACbyReadEECSRNevika(unsigned short ioBase) {
    unsigned char value = 0;
    VNSvInPortB(reg(ioBase, kEecsr), &value);
    return value;
}

IXO_API unsigned char MACbIsRegBitsOff(unsigned short ioBase, unsigned char registerOffset,
                                       unsigned char mask) {
    unsigned char value = 0;
    VNSvInPortB(reg(ioBase, registerOffset), &value);
    return (value & mask) == 0 ? 1 : 0;
}

IXO_API void PCAvDelayByIO(unsigned short count) { eeprom::waitDelayUnits(count); }

IXO_API unsigned short SROMbReadEmbededNevika(unsigned short ioBase, unsigned char wordAddress) {
    unsigned short word = 0;
    if (!runCommand(ioBase, Kind::Read, kReadCommand, wordAddress, 0, &word)) {
        return 0;
    }
    return word;
}

IXO_API unsigned char SROMbIssueEmbeded(unsigned short ioBase, unsigned short command) {
    return runCommand(ioBase, Kind::Issue, static_cast<unsigned char>(command & 0xFF), 0, 0,
                      nullptr)
               ? 1
               : 0;
}

IXO_API unsigned char SROMbWriteEmbededNevika(unsigned short ioBase, unsigned char ignored,
                                              unsigned char wordAddress, unsigned short word) {
    (void)ignored;
    return runCommand(ioBase, Kind::Write, kWriteCommand, wordAddress, word, nullptr) ? 1 : 0;
}

IXO_API int readViaEepromVelocity(unsigned short ioBase, unsigned char *image) {
    IXO_LOG(IXO_PROGRESS, "Inside readViaEepromVelocity function ");
    if (image == nullptr) {
        return 0;
    }
    int done = 0;
    for (int address = 0; address < eeprom::kViaWords; ++address) {
        unsigned short word = 0;
        if (runCommand(ioBase, Kind::Read, kReadCommand, static_cast<unsigned char>(address), 0,
                       &word)) {
            ++done;
        }
        eeprom::setImageWord(image, address, word);
    }
    if (done != eeprom::kViaWords) {
        IXO_LOG(IXO_ERROR, "the EEPROM engine read %d of %d words", done, eeprom::kViaWords);
        return 0;
    }
    return 1;
}

IXO_API int writeViaEepromVelocity(unsigned short ioBase, unsigned char *image,
                                   unsigned char *record) {
    IXO_LOG(IXO_PROGRESS, "Inside writeViaEepromVelocity function");
    if (image == nullptr || record == nullptr) {
        return 0;
    }
    eeprom::mergeViaAssets(image, record);
    IXO_LOG(IXO_PROGRESS, "calling SROMvWriteAllContents");
    return eeprom::writeVelocityImage(ioBase, image) ? 1 : 0;
}

}  // extern "C"
