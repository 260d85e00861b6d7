// Registry test mode: an agent run on a developer's machine reads and writes
// copies of the system registries under $HOME/.v6_test_dir instead of the
// device's files.
#define IXO_MODULE "RegistryLayer"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/device.h"
#include "ixo/registry.h"
#include "log.h"
#include "registry/registryLayer.h"

namespace {

const char testDirectory[] = ".v6_test_dir";

int testMode = 0;

// Grown as HOME needs, reused by every mapping, kept for the life of the
// process: callers use the name at once.
char *mappedName = nullptr;
size_t mappedNameCapacity = 0;

const char *mappedFileFor(const char *path) {
    if (std::strcmp(path, "/tmp/system.conf") == 0 ||
        std::strcmp(path, "/home/root/system.conf") == 0) {
        return "reg_temporary";
    }
    if (std::strcmp(path, "/etc/addons.d/dummy/control") == 0) {
        return "dummy.control";
    }
    return nullptr;
}

}  // namespace

namespace registry {

const char *convertFilename(const char *path) {
    if (!testMode) {
        return path;
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr) {
        return nullptr;
    }
    if (mappedName == nullptr) {
        mappedNameCapacity = 138;
        mappedName = static_cast<char *>(std::malloc(mappedNameCapacity));
    }
    const char *file = mappedFileFor(path);
    if (file == nullptr) {
        IXO_LOG(IXO_NOTICE, "Unknown registry location '%s' being opened", path);
        return path;
    }
    size_t needed = std::strlen(home) + 30;
    if (mappedName != nullptr && needed > mappedNameCapacity) {
        char *grown = static_cast<char *>(std::realloc(mappedName, needed));
        if (grown == nullptr) {
            std::free(mappedName);
        }
        mappedName = grown;
        mappedNameCapacity = grown != nullptr ? needed : 0;
    }
    if (mappedName == nullptr) {
        IXO_LOG(IXO_NOTICE, "Error while memory allocation");
        return path;
    }
    std::snprintf(mappedName, mappedNameCapacity, "%s/%s/%s", home, testDirectory, file);
    return mappedName;
}

}  // namespace registry

extern "C" {

IXO_API int registryGetTestMode(void) { return testMode; }

IXO_API void registrySetTestMode(char *exePath) {
    std::string error;
    device::HostSystemFunction hostSystem = device::lookUpHostSystem(&error);
    if (hostSystem == nullptr) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
        return;
    }
    testMode = 1;
    if (exePath == nullptr) {
        IXO_LOG(IXO_ERROR, "exepath NULL in registrySetTestMode");
        return;
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr) {
        return;
    }
    std::string exeDirectory = exePath;
    size_t slash = exeDirectory.find_last_of('/');
    if (slash == std::string::npos) {
        exeDirectory = ".";
    } else {
        exeDirectory.erase(slash == 0 ? 1 : slash);
    }
    std::string testDir = std::string(home) + "/" + testDirectory;
    // HOME and the executable's directory come from outside: each is quoted
    // so a blank or a shell character in them stays part of the path.
    const std::string lines[] = {
        "mkdir -p " + device::shellQuote(testDir),
        "cp " + device::shellQuote(exeDirectory + "/system.conf") + " " +
            device::shellQuote(testDir + "/reg_temporary"),
        "cp " + device::shellQuote(exeDirectory + "/dummy.control") + " " +
            device::shellQuote(testDir + "/dummy.control"),
    };
    for (const std::string &line : lines) {
        IXO_LOG(IXO_TRACE, "running '%s'", line.c_str());
        hostSystem(line.c_str());
    }
}

}  // extern "C"
