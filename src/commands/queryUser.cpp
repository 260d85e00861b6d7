// "queryUser": the device's queryUser program asks the person at the device
// to pick one of the labelled delays within a timeout; its exit status is the
// answer.
#define IXO_MODULE "PlatformCommands"

#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "ixo/commands.h"
#include "log.h"

namespace {

// Longest line the device's shell is handed; longer ones are refused whole
// rather than cut inside a label.
const size_t maximumLineLength = 8191;

}  // namespace

namespace commands {

char *labelEscape(const char *label) {
    if (label == nullptr) {
        return nullptr;
    }
    size_t length = std::strlen(label);
    char *clean = static_cast<char *>(std::malloc(length + 1));
    if (clean == nullptr) {
        IXO_LOG(IXO_NOTICE, "Error while memory allocation");
        return nullptr;
    }
    // Inside the double quotes the shell still acts on $, ", \ and the
    // backquote; a line break would end the command.
    size_t used = 0;
    for (const char *c = label; *c != '\0'; ++c) {
        if (std::strchr("$\"\\\n`", *c) == nullptr) {
            clean[used++] = *c;
        }
    }
    clean[used] = '\0';
    return clean;
}

}  // namespace commands

extern "C" IXO_API int queryUser(IxoCommand *command, IxoCharBuffer **response,
                                 char **errorClass, char **message) {
    using commands::setFailure;
    const char *timeout = commands::parameter(command, "timeout");
    if (timeout == nullptr) {
        setFailure(errorClass, message, "invalid_arguments", "No timeout specified");
        return -1;
    }
    std::string line = "/etc/addons.d/IXO_AGENT/queryUser " + std::to_string(std::atoi(timeout));
    IxoXmlNode *delaySet = getSubNodeByName(command->parameters, "delaySet");
    if (delaySet == nullptr) {
        setFailure(errorClass, message, "invalid_arguments", "Must have a delaySet specified");
        return -1;
    }
    IxoXmlNode *pair = getSubNodeByName(delaySet, "pair");
    if (pair == nullptr) {
        setFailure(errorClass, message, "invalid_arguments", "Must have at least one pair defined");
        return -1;
    }
    for (; pair != nullptr; pair = pair->next) {
        const char *key = getSubNodeContentByName(pair, "key");
        if (key == nullptr) {
            setFailure(errorClass, message, "invalid_arguments", "No key defined in pair");
            return -1;
        }
        const char *value = getSubNodeContentByName(pair, "value");
        if (value == nullptr) {
            setFailure(errorClass, message, "invalid_arguments", "No value defined in pair");
            return -1;
        }
        char *label = commands::labelEscape(key);
        if (label != nullptr) {
            line += std::string(" \"") + label + "\" " + std::to_string(std::atoi(value));
            std::free(label);
        }
    }
    line += " > /dev/null 2>&1";
    if (line.size() > maximumLineLength) {
        IXO_LOG(IXO_ERROR, "queryUser command line of %zu characters refused", line.size());
        setFailure(errorClass, message, "invalid_arguments",
                   "The question is too long for the device's queryUser command line");
        return -1;
    }
    int status = device::runDeviceCommand(line);
    if (status < 0) {
        setFailure(errorClass, message, "system_error",
                   "System Error executing local queryUser command");
        return -1;
    }
    IxoCharBuffer *result = createCharBuffer();
    if (result == nullptr) {
        setFailure(errorClass, message, "system_error", "Error while memory allocation");
        return -1;
    }
    addIntegerElement(result, "seconds", status);
    if (response != nullptr) {
        *response = result;
    } else {
        freeAllCharBuffers(result);
    }
    return 0;
}
