// "installOnDevice": fetches an add-on package from the server into /tmp and
// hands it to the device's installer. A package named IXO_AGENT... is the
// agent itself and takes the upgrade road.
#define IXO_MODULE "PlatformCommands"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "commands/addons.h"
#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "log.h"
#include "urlPasswords.h"

namespace {

const char agentPackagePrefix[] = "IXO_AGENT";

bool isAgentPackage(const std::string &packageName) {
    return packageName.compare(0, sizeof agentPackagePrefix - 1, agentPackagePrefix) == 0;
}

std::string addonInstallLine(const std::string &localPath) {
    return device::sudoSuLine("LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -p " +
                              device::shellQuote(commands::addonOutcomeFile) + " -l " +
                              device::shellQuote(localPath));
}

void deletePackage(const std::string &localPath) {
    if (::unlink(device::deviceEntryPath(localPath).c_str()) != 0) {
        IXO_LOG(IXO_ERROR, "cannot delete the package '%s': %s", localPath.c_str(),
                std::strerror(errno));
    }
}

std::string agentInstallLine(const std::string &localPath) {
    return device::sudoSuLine("LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -l " +
                              device::shellQuote(localPath));
}

// Everything inside the lockout. deleteAfter is set when the downloaded
// package is to go once the lockout has ended: after a successful install.
// A failed one leaves it in /tmp.
int downloadAndInstall(IxoCommand *command, const char *source, const std::string &packageName,
                       const std::string &localPath, const std::string &installLine,
                       bool agentUpgrade, bool *deleteAfter, char **errorClass, char **message) {
    using namespace commands;
    LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    IXO_LOG(IXO_PROGRESS, "About to download '%s' to '%s'", ixo::hideUrlPasswords(source).c_str(),
            localPath.c_str());
    AgentFunctionTable *functions = agentFunctions();
    if (functions == nullptr || functions->downloadToFile == nullptr) {
        IXO_LOG(IXO_ERROR, "the agent has given no download function");
        setFailure(errorClass, nullptr, "file_error", nullptr);
        return -1;
    }
    if (functions->downloadToFile(source, localPath.c_str(), 0) < 0) {
        setFailure(errorClass, nullptr, "file_error", nullptr);
        return -1;
    }

    if (agentUpgrade) {
        bool keepLockout = false;
        int result = upgradeAgent(localPath, installLine, &keepLockout, errorClass, message);
        // On success the restart script reboots the device with the lock
        // screen still up.
        if (keepLockout) {
            lockout.opened = false;
        }
        *deleteAfter = result == 0;
        return result;
    }

    if (installerSystemCall(installLine.c_str(), addonOutcomeFile, errorClass, message) != 0) {
        IXO_LOG(IXO_ERROR, "Error installing '%s'", packageName.c_str());
        return -1;
    }
    IXO_LOG(IXO_PROGRESS, "Successfully installed '%s'", packageName.c_str());
    *deleteAfter = true;
    return 0;
}

}  // namespace

namespace commands {

int installOnDevice(IxoCommand *command, IxoCharBuffer **, char **errorClass, char **message) {
    const char *source = requiredParameter(command, "source");
    if (source == nullptr) {
        setFailure(errorClass, nullptr, "invalid_arguments", nullptr);
        return -1;
    }
    std::string packageName = lastPathComponent(source);
    std::string localPath = "/tmp/" + packageName;
    bool agentUpgrade = isAgentPackage(packageName);
    std::string installLine =
        agentUpgrade ? agentInstallLine(localPath) : addonInstallLine(localPath);
    if (installLine.size() > maximumCommandLine) {
        IXO_LOG(IXO_ERROR, "installer command line of %zu characters refused",
                installLine.size());
        setFailure(errorClass, message, "invalid_arguments",
                   "The package name is too long for the device's installer command line");
        return -1;
    }
    bool deleteAfter = false;
    int result = downloadAndInstall(command, source, packageName, localPath, installLine,
                                    agentUpgrade, &deleteAfter, errorClass, message);
    if (deleteAfter) {
        deletePackage(localPath);
    }
    return result;
}

}  // namespace commands
