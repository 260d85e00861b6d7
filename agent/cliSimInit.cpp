// "sim-init": builds a simulated thin client, or refreshes one.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "agent/cliCommands.h"
#include "sim/nicModels.h"
#include "sim/sim.h"

namespace agent {

namespace {

struct SimInitArguments {
    std::string directory;
    sim::DeviceChoice choice;
};

int simInit(const CliContext &context, const SimInitArguments &arguments) {
    std::string dir = !arguments.directory.empty() ? arguments.directory
                      : !context.deviceRoot.empty() ? context.deviceRoot
                                                    : defaultDeviceRoot();
    std::string error;
    if (!sim::buildDevice(dir, arguments.choice, &error)) {
        return cliFailure("cannot build a simulated device in " + dir + ": " + error);
    }
    std::printf("simulated thin client ready in %s, network controller %s, platform %s\n",
                dir.c_str(), sim::nicFamily(dir).c_str(), sim::platformOf(dir).c_str());
    return 0;
}

}  // namespace

void defineSimInit(CommandLine &commandLine) {
    auto arguments = std::make_shared<SimInitArguments>();
    CLI::App *command = commandLine.add(
        commandLine.root(), "sim-init",
        "build or refresh a simulated thin client\n"
        "in DIR (default: --device-root, else the per-user device). An existing\n"
        "device is refreshed in place and keeps its state (registries, EEPROM,\n"
        "platform); a new one is made whole beside DIR, then moved into place.\n"
        "Making one needs root: its /dev/null is made with mknod.",
        Needs::Nothing, [arguments](const CliContext &context) {
            return simInit(context, *arguments);
        });
    command->add_option("DIR", arguments->directory, "where the device is (or goes)")
        ->type_name("");
    command
        ->add_option("--nic", arguments->choice.nic,
                     "put in this network controller with its factory EEPROM (a new\n"
                     "device gets a rhine); the one it has already keeps its EEPROM")
        ->type_name("FAMILY")
        ->check(CLI::IsMember(sim::nicFamilies()));
    command
        ->add_option("--platform", arguments->choice.platform,
                     "make it this platform: system tool answers, DMI and OEM\n"
                     "strings, BIOS and the flash drive's layout (default Zinth;\n"
                     "a refresh keeps the platform)")
        ->type_name("NAME")
        ->check(CLI::IsMember(sim::platformNames(), CLI::ignore_case));
}

}  // namespace agent
