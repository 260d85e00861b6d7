// "uninstallFromDevice" (also "uninstall"): removes the named add-ons one
// after the other with the device's deinstaller, stopping at the first that
// fails.
#define IXO_MODULE "PlatformCommands"

#include <cstring>
#include <string>
#include <vector>

#include "commands/addons.h"
#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "log.h"

namespace {

const char entryName[] = "applicationName";

struct Removal {
    bool named;         // false: the entry has no text, or an empty one
    std::string addon;  // the last path component of the text
    std::string line;
};

// The entries from the first "applicationName" node on: the following
// siblings of that name, and siblings that have no name at all.
std::vector<Removal> removals(IxoXmlNode *first) {
    std::vector<Removal> list;
    for (IxoXmlNode *node = first; node != nullptr;) {
        Removal removal{node->text != nullptr && node->text[0] != '\0', "", ""};
        if (removal.named) {
            removal.addon = commands::lastPathComponent(node->text);
            removal.line = device::sudoSuLine("/sbin/installer/deinstall.sh -p " +
                                              device::shellQuote(commands::addonOutcomeFile) +
                                              " " + device::shellQuote(removal.addon));
        }
        list.push_back(removal);
        do {
            node = node->next;
        } while (node != nullptr && node->name != nullptr &&
                 std::strcmp(node->name, entryName) != 0);
    }
    return list;
}

}  // namespace

namespace commands {

int uninstallFromDevice(IxoCommand *command, IxoCharBuffer **, char **errorClass,
                        char **message) {
    IxoXmlNode *first =
        command != nullptr ? getSubNodeByName(command->parameters, entryName) : nullptr;
    if (first == nullptr) {
        IXO_LOG(IXO_ERROR,
                "Could not find any applicationName subNodes in uninstallFromDevice command");
        setFailure(errorClass, nullptr, "invalid_arguments", nullptr);
        return -1;
    }
    std::vector<Removal> list = removals(first);
    // Refused before anything is removed: a cut line would remove another
    // add-on, and the deinstaller takes a name beginning with "-" for one of
    // its options.
    for (const Removal &removal : list) {
        if (removal.named && removal.addon[0] == '-') {
            IXO_LOG(IXO_ERROR, "add-on name '%s' refused: it begins with '-'",
                    removal.addon.c_str());
            setFailure(errorClass, message, "invalid_arguments",
                       "An add-on name cannot begin with '-'");
            return -1;
        }
        if (removal.line.size() > maximumCommandLine) {
            IXO_LOG(IXO_ERROR, "deinstaller command line of %zu characters refused",
                    removal.line.size());
            setFailure(errorClass, message, "invalid_arguments",
                       "The add-on name is too long for the device's deinstaller command line");
            return -1;
        }
    }

    LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    for (const Removal &removal : list) {
        if (!removal.named) {
            IXO_LOG(IXO_ERROR, "Unexpected missing applicationName in applicationName subnode in "
                               "uninstallFromDevice command");
            setFailure(errorClass, nullptr, "invalid_arguments", nullptr);
            return -1;
        }
        IXO_LOG(IXO_PROGRESS, "About to uninstall '%s'", removal.addon.c_str());
        if (installerSystemCall(removal.line.c_str(), addonOutcomeFile, errorClass, message) != 0) {
            return -1;
        }
    }
    return 0;
}

}  // namespace commands
