#include <cerrno>

#include "device/device.h"

#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#define IXO_HAVE_PORT_IO 1
#endif

namespace {

#ifdef IXO_HAVE_PORT_IO
int realIopl(int level) { return iopl(level); }
uint8_t realIn8(uint16_t port) { return inb(port); }
uint16_t realIn16(uint16_t port) { return inw(port); }
uint32_t realIn32(uint16_t port) { return inl(port); }
void realOut8(uint16_t port, uint8_t value) { outb(value, port); }
void realOut16(uint16_t port, uint16_t value) { outw(value, port); }
void realOut32(uint16_t port, uint32_t value) { outl(value, port); }
#else
// Controllers with I/O ports exist only on x86; elsewhere the privilege is
// never granted, so no port access is attempted.
int realIopl(int) {
    errno = ENOSYS;
    return -1;
}
uint8_t realIn8(uint16_t) { return 0xff; }
uint16_t realIn16(uint16_t) { return 0xffff; }
uint32_t realIn32(uint16_t) { return 0xffffffff; }
void realOut8(uint16_t, uint8_t) {}
void realOut16(uint16_t, uint16_t) {}
void realOut32(uint16_t, uint32_t) {}
#endif

const IxoPortIo realPorts = {realIopl, realIn8, realIn16, realIn32, realOut8, realOut16, realOut32};
IxoPortIo installedPorts = realPorts;

// Stand in for the entries an installed table leaves empty: a gap refuses
// rather than reaching real hardware from a simulated device.
int refusedIopl(int) {
    errno = EPERM;
    return -1;
}
uint8_t floatingIn8(uint16_t) { return 0xff; }
uint16_t floatingIn16(uint16_t) { return 0xffff; }
uint32_t floatingIn32(uint16_t) { return 0xffffffff; }
void ignoredOut8(uint16_t, uint8_t) {}
void ignoredOut16(uint16_t, uint16_t) {}
void ignoredOut32(uint16_t, uint32_t) {}

template <typename Function>
Function orElse(Function given, Function fallback) {
    return given != nullptr ? given : fallback;
}

}  // namespace

extern "C" IXO_API void ixoSetPortIo(const IxoPortIo *io) {
    if (io == nullptr) {
        installedPorts = realPorts;
        return;
    }
    installedPorts.iopl = orElse(io->iopl, refusedIopl);
    installedPorts.in8 = orElse(io->in8, floatingIn8);
    installedPorts.in16 = orElse(io->in16, floatingIn16);
    installedPorts.in32 = orElse(io->in32, floatingIn32);
    installedPorts.out8 = orElse(io->out8, ignoredOut8);
    installedPorts.out16 = orElse(io->out16, ignoredOut16);
    installedPorts.out32 = orElse(io->out32, ignoredOut32);
}

namespace device {

const IxoPortIo &portIo() { return installedPorts; }

}  // namespace device
