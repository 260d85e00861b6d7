#define IXO_MODULE "EepromFunctions"

#include "eeprom/ioPrivilege.h"

#include <cerrno>
#include <cstring>

#include "device/device.h"
#include "log.h"

namespace eeprom {

namespace {

bool setLevel(int level) {
    if (device::portIo().iopl(level) != 0) {
        IXO_LOG(IXO_ERROR, "iopl(%d) failed: %s", level, std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

IoPrivilegeScope::IoPrivilegeScope(OnExit onExit)
    : onExit_(onExit), raised_(setLevel(kPortsOpen)) {}

IoPrivilegeScope::~IoPrivilegeScope() {
    if (onExit_ == OnExit::ClosePorts) {
        (void)setLevel(kPortsClosed);
    }
}

}  // namespace eeprom
