// The command being carried out and the response not yet sent, kept in the
// agent's settings so that both can be taken up again after a reboot.
//
// What is kept must belong to the command now running: after a reboot the
// agent runs a kept command again and reports a kept response as its
// outcome. So a save that fails clears what an earlier save kept, rather
// than leave an older command to be run again or an older outcome to be
// reported for the new command.
#define IXO_MODULE "RegistryLayer"

#include <cstdlib>
#include <cstring>

#include "ixo/registry.h"
#include "log.h"
#include "registry/settingAccess.h"

namespace {

const char pendingCommandKey[] = "PendingCommandXml";
const char pendingResponseKey[] = "PendingResponse";

int writeKept(const char *key, const char *text) { return registry::writeIxoSetting(key, text); }

// After a failed save. Always -1: the save failed either way.
int clearAfterFailedSave() {
    int command = writeKept(pendingCommandKey, "");
    int response = writeKept(pendingResponseKey, "");
    if (command != 0 || response != 0) {
        IXO_LOG(IXO_ERROR,
                "Error clearing the saved command and response after a failed save: an older "
                "command or response may be taken up after a reboot");
    }
    return -1;
}

// Saves the text on one line. The length is measured with its line breaks,
// as they were handed over.
int saveText(const char *key, char *text, const char *tooLongMessage,
             const char *notWrittenMessage) {
    if (std::strlen(text) > IXO_REGISTRY_MAX_VALUE) {
        IXO_LOG(IXO_ERROR, "%s", tooLongMessage);
        return clearAfterFailedSave();
    }
    removeNewLines(text);
    if (writeKept(key, text) != 0) {
        IXO_LOG(IXO_ERROR, "%s", notWrittenMessage);
        return clearAfterFailedSave();
    }
    return 0;
}

int clearKept(const char *key, const char *notClearedMessage) {
    if (writeKept(key, "") != 0) {
        IXO_LOG(IXO_ERROR, "%s", notClearedMessage);
        return -1;
    }
    return 0;
}

int getSavedSetting(const char *name, char **text) {
    if (text == nullptr) {
        return -1;
    }
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    *text = nullptr;
    if (getIxoSetting(name, value) != 0 || value[0] == '\0') {
        return -1;
    }
    *text = strdup(value);
    if (*text == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

IXO_API int ixoSaveCommandForReboot(IxoCommand *command) {
    if (command == nullptr) {
        return clearKept(pendingCommandKey,
                         "Error clearing the saved command: the registry cannot be written");
    }
    IxoCharBuffer *xml = getCharBufferFromCommandStruct(command);
    char *text = xml != nullptr ? charBufferToChar(xml) : nullptr;
    freeAllCharBuffers(xml);
    if (text == nullptr) {
        IXO_LOG(IXO_ERROR, "Error saving command: no XML for it");
        return clearAfterFailedSave();
    }
    int result = saveText(pendingCommandKey, text,
                          "Error saving command, longer than max registry length",
                          "Error saving command: the registry cannot be written");
    std::free(text);
    return result;
}

IXO_API int ixoSaveResponseForReboot(IxoCharBuffer *response) {
    if (response == nullptr) {
        return clearKept(pendingResponseKey,
                         "Error clearing the saved response: the registry cannot be written");
    }
    char *text = charBufferToChar(response);
    if (text == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
        return clearAfterFailedSave();
    }
    int result = saveText(pendingResponseKey, text,
                          "Error saving response, longer than max registry length",
                          "Error saving response: the registry cannot be written");
    std::free(text);
    return result;
}

IXO_API int ixoGetSavedCommand(char **text) { return getSavedSetting(pendingCommandKey, text); }

IXO_API int ixoGetSavedResponse(char **text) { return getSavedSetting(pendingResponseKey, text); }

}  // extern "C"
