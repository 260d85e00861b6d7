// "settings" and "registry": the agent's settings and any registry value,
// read and written through the library's settings store.
#include <cstdio>
#include <cstring>

#include "agent/cliCommands.h"

namespace agent {

namespace {

int printValue(int result, const char *value, const std::string &what) {
    if (result != 0) {
        std::fprintf(stderr, "ixoAgent: cannot read %s (see the log)\n", what.c_str());
        return 1;
    }
    std::printf("%s\n", value);
    return 0;
}

}  // namespace

int settingsCommand(const CliContext &context) {
    const PlatformLibrary &library = *context.library;
    const std::vector<std::string> &arguments = context.arguments;
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    const std::string verb = !arguments.empty() ? arguments[0] : "";
    if (verb == "get" && arguments.size() == 2) {
        return printValue(library.getSetting(arguments[1].c_str(), value), value,
                          "setting '" + arguments[1] + "'");
    }
    if (verb == "lum" && arguments.size() == 2) {
        return printValue(library.lumSetting(arguments[1].c_str(), value), value,
                          "lum setting '" + arguments[1] + "'");
    }
    if (verb == "set" && arguments.size() == 3) {
        const std::string &name = arguments[1];
        const std::string &wanted = arguments[2];
        library.setSetting(name.c_str(), wanted.c_str());
        // The library reports no failed write: read the value back to know.
        if (library.getSetting(name.c_str(), value) != 0 || wanted != value) {
            std::fprintf(stderr, "ixoAgent: setting '%s' was not stored (see the log)\n",
                         name.c_str());
            return 1;
        }
        return 0;
    }
    return cliUsage(*findSubcommand("settings"));
}

int registryCommand(const CliContext &context) {
    const PlatformLibrary &library = *context.library;
    const std::vector<std::string> &arguments = context.arguments;
    const std::string verb = !arguments.empty() ? arguments[0] : "";
    bool get = verb == "get" && arguments.size() == 4;
    bool set = verb == "set" && arguments.size() == 5;
    if (!get && !set) {
        return cliUsage(*findSubcommand("registry"));
    }
    const std::string &file = arguments[1];
    const std::string &section = arguments[2];
    const std::string &key = arguments[3];
    int handle = library.openRegistry(file.c_str());
    if (handle == 0) {
        std::fprintf(stderr, "ixoAgent: cannot open registry %s (see the log)\n", file.c_str());
        return 1;
    }
    if (get) {
        char value[IXO_REGISTRY_BUFFER_SIZE] = "";
        int result = library.registryGet(handle, value, section.c_str(), key.c_str(), "",
                                         sizeof value);
        library.closeRegistry(handle);
        return printValue(result, value, section + "/" + key);
    }
    int result = library.registrySet(handle, section.c_str(), key.c_str(), arguments[4].c_str());
    // A change made on the agent's word runs the device's registry-change hook.
    library.closeRegistryWithAction(handle);
    if (result != 0) {
        std::fprintf(stderr, "ixoAgent: %s/%s was not stored (see the log)\n", section.c_str(),
                     key.c_str());
        return 1;
    }
    return 0;
}

}  // namespace agent
