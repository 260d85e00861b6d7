// Reboot and power-off. The partition script saves the device's partition
// data first; the commands run as the agent's user, without sudo.
#define IXO_MODULE "PlatformCommands"

#include "device/device.h"
#include "ixo/commands.h"
#include "log.h"

namespace {

void runRebootStep(const char *commandLine) {
    int status = device::runDeviceCommand(commandLine);
    if (status != 0) {
        IXO_LOG(IXO_ERROR, "'%s' returned %d", commandLine, status);
    }
}

}  // namespace

extern "C" {

IXO_API int pDeviceReboot(int mode) {
    runRebootStep("sh /etc/zeltinpartition/zeltinPartitionData.sh 6");
    switch (mode) {
    case 1:
        IXO_LOG(IXO_NOTICE, "rebooting the device");
        pSleep(3);
        // Devices with a 2 MB BIOS need a full power cycle before the reboot.
        if (poweroff2MBBios != 0) {
            runRebootStep("poweroff");
            runRebootStep("poweroff");
        }
        runRebootStep("reboot -f");
        runRebootStep("reboot -f");
        return 0;
    case 2:
        IXO_LOG(IXO_NOTICE, "powering the device off");
        pSleep(3);
        runRebootStep("poweroff");
        return 0;
    default:
        IXO_LOG(IXO_ERROR, "unknown reboot mode %d", mode);
        return -1;
    }
}

IXO_API int doRebootAfterCommit(void) {
    pDeviceReboot(1);
    return 0;
}

}  // extern "C"
