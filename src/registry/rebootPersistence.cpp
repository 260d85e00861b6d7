// The command being carried out and the response not yet sent, kept in the
// agent's settings so that both can be taken up again after a reboot.
#define IXO_MODULE "RegistryLayer"

#include <cstdlib>
#include <cstring>

#include "ixo/registry.h"
#include "log.h"

namespace {

const char pendingCommandKey[] = "PendingCommandXml";
const char pendingResponseKey[] = "PendingResponse";

// Saves the text on one line. The length is measured with its line breaks,
// as they were handed over.
int saveText(const char *key, char *text, const char *tooLongMessage) {
    if (std::strlen(text) > IXO_REGISTRY_MAX_VALUE) {
        IXO_LOG(IXO_ERROR, "%s", tooLongMessage);
        return -1;
    }
    removeNewLines(text);
    setIxoSetting(key, text);
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
        setIxoSetting(pendingCommandKey, "");
        return 0;
    }
    IxoCharBuffer *xml = getCharBufferFromCommandStruct(command);
    char *text = xml != nullptr ? charBufferToChar(xml) : nullptr;
    freeAllCharBuffers(xml);
    if (text == nullptr) {
        IXO_LOG(IXO_ERROR, "Error saving command: no XML for it");
        return -1;
    }
    int result = saveText(pendingCommandKey, text,
                          "Error saving command, longer than max registry length");
    std::free(text);
    return result;
}

IXO_API int ixoSaveResponseForReboot(IxoCharBuffer *response) {
    if (response == nullptr) {
        setIxoSetting(pendingResponseKey, "");
        return 0;
    }
    char *text = charBufferToChar(response);
    if (text == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
        return -1;
    }
    int result = saveText(pendingResponseKey, text,
                          "Error saving response, longer than max registry length");
    std::free(text);
    return result;
}

IXO_API int ixoGetSavedCommand(char **text) { return getSavedSetting(pendingCommandKey, text); }

IXO_API int ixoGetSavedResponse(char **text) { return getSavedSetting(pendingResponseKey, text); }

}  // extern "C"
