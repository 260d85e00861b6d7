#include "agent/platformLibrary.h"

#include <limits.h>
#include <unistd.h>

namespace agent {

namespace {

bool isFile(const std::string &path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string executableDirectory() {
    std::string path = executablePath();
    return path.substr(0, path.find_last_of('/'));
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
    PlatformLibrary &l = *library;
    std::string missing;
    bool complete = resolveEntry(l, "ixoLibraryVersion", &l.libraryVersion, &missing) &&
                    resolveEntry(l, "ixoSetDeviceRoot", &l.setDeviceRoot, &missing) &&
                    resolveEntry(l, "ixoSetCommandRunner", &l.setCommandRunner, &missing) &&
                    resolveEntry(l, "ixoSetPortIo", &l.setPortIo, &missing) &&
                    resolveEntry(l, "initPlatformSpecificCommands", &l.initCommands, &missing) &&
                    resolveEntry(l, "getPlatformCommandHandlers", &l.commandHandlers, &missing) &&
                    resolveEntry(l, "doRebootAfterCommit", &l.rebootAfterCommit, &missing) &&
                    resolveEntry(l, "p_openReg", &l.openRegistry, &missing) &&
                    resolveEntry(l, "p_regGet", &l.registryGet, &missing) &&
                    resolveEntry(l, "p_regSet", &l.registrySet, &missing) &&
                    resolveEntry(l, "p_CloseAction", &l.closeRegistryWithAction, &missing) &&
                    resolveEntry(l, "p_CloseNoAction", &l.closeRegistry, &missing) &&
                    resolveEntry(l, "registrySetTestMode", &l.setTestMode, &missing) &&
                    resolveEntry(l, "getIxoSetting", &l.getSetting, &missing) &&
                    resolveEntry(l, "setIxoSetting", &l.setSetting, &missing) &&
                    resolveEntry(l, "getLumSetting", &l.lumSetting, &missing) &&
                    resolveEntry(l, "ixoSaveCommandForReboot", &l.saveCommand, &missing) &&
                    resolveEntry(l, "ixoSaveResponseForReboot", &l.saveResponse, &missing) &&
                    resolveEntry(l, "ixoGetSavedCommand", &l.savedCommand, &missing) &&
                    resolveEntry(l, "ixoGetSavedResponse", &l.savedResponse, &missing) &&
                    resolveEntry(l, "ixoEepromFamilies", &l.eepromFamilies, &missing) &&
                    resolveEntry(l, "ixoEepromController", &l.eepromController, &missing);
    if (!complete) {
        *error = path + ": no entry point '" + missing + "'";
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
