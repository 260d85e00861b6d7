// JMicron: the EEPROM sits behind the controller's SMBus master, one byte
// per transaction. Only a 25-byte window (EEPROM bytes 0x40-0x58) is the
// maker's; the security key is at 0x50-0x53.
#define IXO_MODULE "EepromFunctions"

#include <cstdio>

#include "device/device.h"
#include "eeprom/eepromInternal.h"
#include "eeprom/families.h"
#include "eeprom/ioPrivilege.h"
#include "log.h"

namespace {

constexpr unsigned int kInterface = 4;
constexpr uint32_t kBusyBits = 0x0F;
constexpr uint32_t kErrorBits = 0x600000;
constexpr uint32_t kInProgress = 0x10;
constexpr uint32_t kReadTransaction = 0x30;
constexpr uint32_t kWriteTransaction = 0x10;
constexpr unsigned int kPollUnits = 6;
// The EEPROM's own write cycle, after the SMBus transaction has ended.
constexpr unsigned int kWriteCycleUnits = 4200;

constexpr unsigned char kFailedByte = 0xFF;

// Polls until the register's bits are clear: 0 when they cleared, 1 after
// 65534 polls.
unsigned short waitBitsClear(unsigned int port, uint32_t bits) {
    uint16_t countdown = 0xFFFF;
    for (;;) {
        --countdown;
        if (countdown == 0) {
            return 1;
        }
        io_delay15us(kPollUnits);
        if ((io_read32(port) & bits) == 0) {
            return 0;
        }
    }
}

// The status the error check reads: the same accesses as is_smb_error,
// with the value kept.
uint32_t errorStatus(unsigned int base) {
    io_delay15us(kPollUnits);
    return io_read32(base);
}

// One byte read; false (with the message printed) when the bus stayed busy
// or the transaction did not end, and when it ended with an error (the
// EEPROM did not acknowledge): the byte read then is not the EEPROM's.
bool readByte(unsigned int base, unsigned short address, unsigned char *value) {
    clear_smb_error_status(base);
    if (is_smb_busy(base) != 0) {
        std::puts("return from  smb_busy ");
        return false;
    }
    io_delay15us(kPollUnits);
    io_write32(base + kInterface, (static_cast<uint32_t>(address) << 8) | kReadTransaction);
    if (is_smb_finish(base) != 0) {
        std::puts("return from  smb_finish ");
        return false;
    }
    // The transaction is not repeated.
    uint32_t status = errorStatus(base);
    io_delay15us(kPollUnits);
    *value = static_cast<unsigned char>(io_read32(base + kInterface) >> 24);
    return (status & kErrorBits) == 0;
}

// The maker's window: the image's first bytes, which are the EEPROM's from
// the family's first address.
int windowBytes() { return eeprom::jmicronFamily().deviceBytes; }

unsigned short windowAddress(int index) {
    return static_cast<unsigned short>(eeprom::jmicronFamily().firstAddress +
                                       static_cast<unsigned int>(index));
}

}  // namespace

namespace eeprom {

bool writeJmicronImage(unsigned short base, const unsigned char *image) {
    return write_eeprom_jmicron(base, image) == 1;
}

}  // namespace eeprom

extern "C" {

IXO_API uint32_t io_read32(unsigned int port) {
    return device::portIo().in32(static_cast<uint16_t>(port & 0xFFFF));
}

IXO_API void io_write32(unsigned int port, uint32_t value) {
    device::portIo().out32(static_cast<uint16_t>(port & 0xFFFF), value);
}

IXO_API void io_delay15us(unsigned int count) { eeprom::waitDelayUnits(count); }

IXO_API unsigned short is_smb_busy(unsigned int base) { return waitBitsClear(base, kBusyBits); }

IXO_API unsigned short is_smb_finish(unsigned int base) {
    return waitBitsClear(base + kInterface, kInProgress);
}

IXO_API unsigned short is_smb_error(unsigned int base) {
    // Never asks for a repeat: a transaction that ends with an error is
    // reported as a failed byte by the transactions themselves.
    (void)errorStatus(base);
    return 0;
}

IXO_API void clear_smb_error_status(unsigned int base) {
    io_delay15us(kPollUnits);
    uint32_t status = io_read32(base) | kErrorBits;
    io_delay15us(kPollUnits);
    io_write32(base, status);
}

IXO_API unsigned char smb_read8(unsigned int base, unsigned short address) {
    unsigned char value = kFailedByte;
    return readByte(base, address, &value) ? value : kFailedByte;
}

IXO_API unsigned char smb_write8(unsigned int base, unsigned short address, unsigned char data) {
    clear_smb_error_status(base);
    if (is_smb_busy(base) != 0) {
        return kFailedByte;
    }
    io_delay15us(kPollUnits);
    io_write32(base + kInterface, (static_cast<uint32_t>(data) << 16) |
                                      (static_cast<uint32_t>(address) << 8) | kWriteTransaction);
    if (is_smb_finish(base) != 0) {
        return kFailedByte;
    }
    // A byte the EEPROM did not acknowledge was not written; the transaction
    // is not repeated.
    uint32_t status = errorStatus(base);
    io_delay15us(kWriteCycleUnits);
    return (status & kErrorBits) == 0 ? 0 : kFailedByte;
}

IXO_API unsigned char read_eeprom_jmicron(unsigned int base, unsigned short address) {
    return smb_read8(base, address);
}

IXO_API int write_eeprom_jmicron(unsigned int base, const unsigned char *image) {
    IXO_LOG(IXO_PROGRESS, "Inside write_eeporm_jmicron function");
    if (image == nullptr) {
        return 0;
    }
    unsigned char window[EEPROM_IMAGE_SIZE];
    std::memcpy(window, image, static_cast<size_t>(windowBytes()));
    int written = 0;
    {
        // Opened here and closed again whether or not the raise worked.
        eeprom::IoPrivilegeScope ports(eeprom::IoPrivilegeScope::OnExit::ClosePorts);
        for (int index = 0; index < windowBytes(); ++index) {
            if (smb_write8(base, windowAddress(index), window[index]) == 0) {
                ++written;
            }
        }
    }
    if (written != windowBytes()) {
        IXO_LOG(IXO_ERROR, "the SMBus wrote %d of %d EEPROM bytes", written, windowBytes());
        return 0;
    }
    return 1;
}

IXO_API unsigned char *jmicronGetSecurityKey(unsigned char *image) {
    return image + eeprom::placeOf(eeprom::jmicronFamily(), ASSET_SECURITY_KEY).writeOffset;
}

IXO_API int readJmicronEeprom(unsigned short base, unsigned char *image) {
    IXO_LOG(IXO_PROGRESS, "Entering readJmicronEeprom");
    if (image == nullptr) {
        return 0;
    }
    unsigned char window[EEPROM_IMAGE_SIZE];
    int done = 0;
    {
        // Opened here and closed again whether or not the raise worked.
        eeprom::IoPrivilegeScope ports(eeprom::IoPrivilegeScope::OnExit::ClosePorts);
        for (int index = 0; index < windowBytes(); ++index) {
            window[index] = kFailedByte;
            if (readByte(base, windowAddress(index), &window[index])) {
                ++done;
            }
        }
    }
    std::memcpy(image, window, static_cast<size_t>(windowBytes()));
    IXO_LOG(IXO_PROGRESS, "Leaving readJmicronEeprom");
    if (done != windowBytes()) {
        IXO_LOG(IXO_ERROR, "the SMBus read %d of %d EEPROM bytes", done, windowBytes());
        return 0;
    }
    return 1;
}

IXO_API void fillJmicronEepromAsset(unsigned char *image, unsigned char *record) {
    IXO_LOG(IXO_PROGRESS, "Entering fillJmicronEepromAsset");
    if (image != nullptr && record != nullptr) {
        eeprom::fillRecord(eeprom::jmicronFamily(), image, record);
    }
    IXO_LOG(IXO_PROGRESS, "Leave fillJmicronEepromAsset");
}

IXO_API int writeJmicronEeprom(unsigned short base, unsigned char *image, unsigned char *record) {
    IXO_LOG(IXO_PROGRESS, "Entering writeJmicronEepromAsset");
    if (image == nullptr || record == nullptr) {
        return 0;
    }
    eeprom::mergeRecord(eeprom::jmicronFamily(), image, record);
    int done = write_eeprom_jmicron(base, image);
    IXO_LOG(IXO_PROGRESS, "Leaving writeJmicronEepromAsset");
    return done;
}

}  // extern "C"
