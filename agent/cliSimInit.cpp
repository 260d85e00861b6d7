#include <algorithm>
#include <cstdio>

#include "agent/cliCommands.h"
#include "sim/nicModels.h"
#include "sim/sim.h"

namespace agent {

// sim-init [--nic FAMILY] [--platform NAME] [DIR]: the network controller is
// put in when chosen, or when the device has none yet (then a Rhine); the
// platform when chosen (a new device is the first of sim::platformNames()).
int simInitCommand(const CliContext &context) {
    std::vector<std::string> arguments;
    std::string nic;
    bool nicGiven = false;
    // --platform NAME: a codename of the library's platform table.
    std::string platform;
    for (size_t index = 0; index < context.arguments.size(); ++index) {
        if (context.arguments[index] == "--platform") {
            if (index + 1 >= context.arguments.size() || !platform.empty()) {
                return cliUsage(*findSubcommand("sim-init"));
            }
            platform = context.arguments[++index];
            continue;
        }
        if (context.arguments[index] != "--nic") {
            arguments.push_back(context.arguments[index]);
        } else if (index + 1 < context.arguments.size() && !nicGiven) {
            nic = context.arguments[++index];
            nicGiven = true;
        } else {
            return cliUsage(*findSubcommand("sim-init"));
        }
    }
    const std::vector<std::string> &families = sim::nicFamilies();
    if (nicGiven && std::find(families.begin(), families.end(), nic) == families.end()) {
        return cliFailure("unknown network controller '" + nic + "': rhine, velocity, realtek or jmicron");
    }
    if (!platform.empty() && !sim::isPlatformName(platform)) {
        std::string known;
        for (const std::string &name : sim::platformNames()) {
            known += (known.empty() ? "" : ", ") + name;
        }
        return cliFailure("unknown platform '" + platform + "': " + known);
    }
    if (arguments.size() > 1) {
        return cliUsage(*findSubcommand("sim-init"));
    }
    std::string dir = !arguments.empty()  ? arguments[0]
                      : !context.deviceRoot.empty() ? context.deviceRoot
                                                    : defaultDeviceRoot();
    std::string error;
    if (!makeParents(dir, &error) || !sim::buildDevice(dir, &error)) {
        return cliFailure("cannot build a simulated device in " + dir + ": " + error);
    }
    if (!platform.empty() && !sim::setPlatform(dir, platform, &error)) {
        return cliFailure("cannot make " + dir + " a " + platform + ": " + error);
    }
    // The same controller again keeps its EEPROM; another one comes new.
    if (nicGiven && sim::nicFamily(dir) != nic && !sim::writeNicDevice(dir, nic, &error)) {
        return cliFailure("cannot put a " + nic + " network controller into " + dir + ": " + error);
    }
    std::printf("simulated thin client ready in %s, network controller %s, platform %s\n",
                dir.c_str(), sim::nicFamily(dir).c_str(), sim::platformOf(dir).c_str());
    return 0;
}

}  // namespace agent
