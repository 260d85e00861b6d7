// Non-zero asks the library to power the device off before a reboot; the
// development agent has no device that needs it.
#include "ixo/agent.h"

extern "C" {
int poweroff2MBBios = 0;
}
