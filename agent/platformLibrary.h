// Loading libIxoPlatformOs the way the agent does on the device: dlopen with
// RTLD_NOW, so every agent service it needs is bound before it runs.
#pragma once

#include <dlfcn.h>

#include <string>

#include "ixo/commands.h"
#include "ixo/ixo.h"
#include "ixo/registry.h"
#include "ixo/seams.h"

namespace agent {

struct PlatformLibrary {
    void *handle = nullptr;
    std::string path;
    decltype(&ixoLibraryVersion) libraryVersion = nullptr;
    decltype(&ixoSetDeviceRoot) setDeviceRoot = nullptr;
    decltype(&ixoSetCommandRunner) setCommandRunner = nullptr;
    decltype(&ixoSetPortIo) setPortIo = nullptr;
    decltype(&initPlatformSpecificCommands) initCommands = nullptr;
    decltype(&getPlatformCommandHandlers) commandHandlers = nullptr;
    decltype(&doRebootAfterCommit) rebootAfterCommit = nullptr;
    // The settings store.
    decltype(&p_openReg) openRegistry = nullptr;
    decltype(&p_regGet) registryGet = nullptr;
    decltype(&p_regSet) registrySet = nullptr;
    decltype(&p_CloseAction) closeRegistryWithAction = nullptr;
    decltype(&p_CloseNoAction) closeRegistry = nullptr;
    decltype(&registrySetTestMode) setTestMode = nullptr;
    decltype(&getIxoSetting) getSetting = nullptr;
    decltype(&setIxoSetting) setSetting = nullptr;
    decltype(&::getLumSetting) lumSetting = nullptr;
    decltype(&ixoSaveCommandForReboot) saveCommand = nullptr;
    decltype(&ixoSaveResponseForReboot) saveResponse = nullptr;
    decltype(&ixoGetSavedCommand) savedCommand = nullptr;
    decltype(&ixoGetSavedResponse) savedResponse = nullptr;
    // The EEPROM layer's controller families and the controller it found.
    decltype(&ixoEepromFamilies) eepromFamilies = nullptr;
    decltype(&ixoEepromController) eepromController = nullptr;
};

// The running executable's full path ("" when it cannot be told).
std::string executablePath();

// The library next to the executable (build tree), then the installed one;
// a relative installedPath is taken from the executable's directory, so an
// installed tree keeps working wherever it is put (a package, a staging
// directory).
std::string defaultLibraryPath(const std::string &installedPath, const std::string &builtPath);

// False with the loader's reason when the library or one of its entry
// points is missing.
bool loadPlatformLibrary(const std::string &path, PlatformLibrary *library, std::string *error);
void unloadPlatformLibrary(PlatformLibrary *library);

// Looks up one entry point (a function or a variable) of the loaded library;
// false with its name in *missing when the library lacks it.
template <typename Pointer>
bool resolveEntry(const PlatformLibrary &library, const char *name, Pointer *pointer,
                  std::string *missing) {
    void *symbol = dlsym(library.handle, name);
    if (symbol == nullptr) {
        *missing = name;
        return false;
    }
    *pointer = reinterpret_cast<Pointer>(symbol);
    return true;
}

// The table entry for a command name, or null.
const PlatformCommandHandler *findCommandHandler(const PlatformCommandHandler *table,
                                                const std::string &name);

}  // namespace agent
