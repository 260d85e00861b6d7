#include <cstdio>

#include "agent/cliCommands.h"
#include "sim/sim.h"

namespace agent {

int simInitCommand(const CliContext &context) {
    if (context.arguments.size() > 1) {
        return cliUsage(*findSubcommand("sim-init"));
    }
    std::string dir = !context.arguments.empty()  ? context.arguments[0]
                      : !context.deviceRoot.empty() ? context.deviceRoot
                                                    : defaultDeviceRoot();
    std::string error;
    if (!makeParents(dir, &error) || !sim::buildDevice(dir, &error)) {
        return cliFailure("cannot build a simulated device in " + dir + ": " + error);
    }
    std::printf("simulated thin client ready in %s\n", dir.c_str());
    return 0;
}

}  // namespace agent
