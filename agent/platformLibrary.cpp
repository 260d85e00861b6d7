#include "agent/platformLibrary.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace agent {

namespace {

bool isFile(const std::string &path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string executableDirectory() {
    std::string path = executablePath();
    return path.substr(0, path.find_last_of('/'));
}

template <typename Function>
bool resolve(PlatformLibrary *library, const char *name, Function *function, std::string *error) {
    dlerror();
    void *symbol = dlsym(library->handle, name);
    if (symbol == nullptr) {
        *error = library->path + ": no entry point '" + name + "'";
        return false;
    }
    *function = reinterpret_cast<Function>(symbol);
    return true;
}

}  // namespace

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "";
}

std::string defaultLibraryPath(const std::string &installedPath, const std::string &builtPath) {
    std::string beside = executableDirectory() + "/libIxoPlatformOs.so.1";
    if (isFile(beside)) {
        return beside;
    }
    std::string installed = !installedPath.empty() && installedPath[0] != '/'
                                ? executableDirectory() + "/" + installedPath
                                : installedPath;
    if (isFile(installed)) {
        return installed;
    }
    return builtPath;
}

bool loadPlatformLibrary(const std::string &path, PlatformLibrary *library, std::string *error) {
    library->path = path;
    library->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library->handle == nullptr) {
        const char *reason = dlerror();
        *error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
        return false;
    }
    bool complete = resolve(library, "ixoSetDeviceRoot", &library->setDeviceRoot, error) &&
                    resolve(library, "ixoSetCommandRunner", &library->setCommandRunner, error) &&
                    resolve(library, "ixoSetPortIo", &library->setPortIo, error) &&
                    resolve(library, "initPlatformSpecificCommands", &library->initCommands, error) &&
                    resolve(library, "getPlatformCommandHandlers", &library->commandHandlers, error) &&
                    resolve(library, "doRebootAfterCommit", &library->rebootAfterCommit, error) &&
                    resolve(library, "p_openReg", &library->openRegistry, error) &&
                    resolve(library, "p_regGet", &library->registryGet, error) &&
                    resolve(library, "p_regSet", &library->registrySet, error) &&
                    resolve(library, "p_CloseAction", &library->closeRegistryWithAction, error) &&
                    resolve(library, "p_CloseNoAction", &library->closeRegistry, error) &&
                    resolve(library, "registrySetTestMode", &library->setTestMode, error) &&
                    resolve(library, "getIxoSetting", &library->getSetting, error) &&
                    resolve(library, "setIxoSetting", &library->setSetting, error) &&
                    resolve(library, "getLumSetting", &library->lumSetting, error) &&
                    resolve(library, "ixoSaveCommandForReboot", &library->saveCommand, error) &&
                    resolve(library, "ixoSaveResponseForReboot", &library->saveResponse, error) &&
                    resolve(library, "ixoGetSavedCommand", &library->savedCommand, error) &&
                    resolve(library, "ixoGetSavedResponse", &library->savedResponse, error);
    if (!complete) {
        unloadPlatformLibrary(library);
    }
    return complete;
}

void unloadPlatformLibrary(PlatformLibrary *library) {
    if (library->handle != nullptr) {
        dlclose(library->handle);
    }
    *library = PlatformLibrary{};
}

const PlatformCommandHandler *findCommandHandler(const PlatformCommandHandler *table,
                                                const std::string &name) {
    for (; table != nullptr && table->handler != nullptr && table->name[0] != '\0'; ++table) {
        if (name == table->name) {
            return table;
        }
    }
    return nullptr;
}

}  // namespace agent
