#include "sim/attach.h"

#include "host/host.h"
#include "host/registry/registry.h"
#include "sim/nicModels.h"
#include "sim/sim.h"

namespace sim {

void useDeviceRoot(const LibrarySeams &seams, const std::string &root, IxoCommandRunner runner) {
    seams.setDeviceRoot(root.c_str());
    seams.setCommandRunner(runner);
    agent::setDeviceRoot(root);
    agent::setHookRunner(runner);
    setRoot(root);
}

bool attachDevice(const LibrarySeams &seams, const std::string &root, IxoCommandRunner runner,
                  std::string *error) {
    useDeviceRoot(seams, root, runner);
    // Another device's controller must not answer for this one.
    resetPortBus();
    seams.setPortIo(portBus());
    return nicFamily(root).empty() || attachNicModel(root, error);
}

}  // namespace sim
