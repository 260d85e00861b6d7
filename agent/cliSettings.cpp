// "settings" and "registry": the agent's settings and any registry value,
// read and written through the library's settings store.
#include <cstdio>
#include <cstring>

#include "agent/cliCommands.h"

namespace agent {

namespace {

const char settingsUsage[] =
    "settings get NAME | settings set NAME VALUE | settings lum NAME";
const char registryUsage[] =
    "registry get FILE SECTION KEY | registry set FILE SECTION KEY VALUE";

int printValue(int result, const char *value, const std::string &what) {
    if (result != 0) {
        std::fprintf(stderr, "ixoAgent: cannot read %s (see the log)\n", what.c_str());
        return 1;
    }
    std::printf("%s\n", value);
    return 0;
}

}  // namespace

int settingsCommand(const PlatformLibrary &library, const std::vector<std::string> &arguments) {
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    const std::string verb = arguments.size() > 1 ? arguments[1] : "";
    if (verb == "get" && arguments.size() == 3) {
        return printValue(library.getSetting(arguments[2].c_str(), value), value,
                          "setting '" + arguments[2] + "'");
    }
    if (verb == "lum" && arguments.size() == 3) {
        return printValue(library.lumSetting(arguments[2].c_str(), value), value,
                          "lum setting '" + arguments[2] + "'");
    }
    if (verb == "set" && arguments.size() == 4) {
        const std::string &name = arguments[2];
        const std::string &wanted = arguments[3];
        library.setSetting(name.c_str(), wanted.c_str());
        // The library reports no failed write: read the value back to know.
        if (library.getSetting(name.c_str(), value) != 0 || wanted != value) {
            std::fprintf(stderr, "ixoAgent: setting '%s' was not stored (see the log)\n",
                         name.c_str());
            return 1;
        }
        return 0;
    }
    return cliFailure(std::string("usage: ") + settingsUsage);
}

int registryCommand(const PlatformLibrary &library, const std::vector<std::string> &arguments) {
    const std::string verb = arguments.size() > 1 ? arguments[1] : "";
    bool get = verb == "get" && arguments.size() == 5;
    bool set = verb == "set" && arguments.size() == 6;
    if (!get && !set) {
        return cliFailure(std::string("usage: ") + registryUsage);
    }
    const std::string &file = arguments[2];
    int handle = library.openRegistry(file.c_str());
    if (handle == 0) {
        std::fprintf(stderr, "ixoAgent: cannot open registry %s (see the log)\n", file.c_str());
        return 1;
    }
    if (get) {
        char value[IXO_REGISTRY_BUFFER_SIZE] = "";
        int result = library.registryGet(handle, value, arguments[3].c_str(), arguments[4].c_str(),
                                         "", sizeof value);
        library.closeRegistry(handle);
        return printValue(result, value, arguments[3] + "/" + arguments[4]);
    }
    int result = library.registrySet(handle, arguments[3].c_str(), arguments[4].c_str(),
                                     arguments[5].c_str());
    // A change made on the agent's word runs the device's registry-change hook.
    library.closeRegistryWithAction(handle);
    if (result != 0) {
        std::fprintf(stderr, "ixoAgent: %s/%s was not stored (see the log)\n",
                     arguments[3].c_str(), arguments[4].c_str());
        return 1;
    }
    return 0;
}

}  // namespace agent
