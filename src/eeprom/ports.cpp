// The exported port wrappers and the delay unit. Every register access of
// the EEPROM layer goes through the port seam, so a simulated bus sees each
// one and no test can reach a real port.
#include "device/device.h"
#include "eeprom/eepromInternal.h"

namespace {

// Reading the system control port takes about a microsecond on the ISA
// bridge; its value is not used.
constexpr uint16_t kDelayPort = 0x61;

}  // namespace

namespace eeprom {

void waitDelayUnits(unsigned long count) {
    const IxoPortIo &io = device::portIo();
    for (unsigned long unit = 0; unit < count; ++unit) {
        (void)io.in8(kDelayPort);
    }
}

}  // namespace eeprom

extern "C" {

IXO_API void VNSvInPortB(unsigned short port, unsigned char *byte) {
    unsigned char value = device::portIo().in8(port);
    if (byte != nullptr) {
        *byte = value;
    }
}

IXO_API void VNSvInPortW(unsigned short port, unsigned short *word) {
    unsigned short value = device::portIo().in16(port);
    if (word != nullptr) {
        *word = value;
    }
}

IXO_API void VNSvInPortD(unsigned short port, uint32_t *dword) {
    uint32_t value = device::portIo().in32(port);
    if (dword != nullptr) {
        *dword = value;
    }
}

IXO_API void VNSvOutPortB(unsigned short port, unsigned char byte) { device::portIo().out8(port, byte); }

IXO_API void VNSvOutPortW(unsigned short port, unsigned short word) {
    device::portIo().out16(port, word);
}

IXO_API void VNSvOutPortD(unsigned short port, uint32_t dword) { device::portIo().out32(port, dword); }

}  // extern "C"
