#define IXO_MODULE "PlatformCommands"

#include "commands/handlerFrame.h"

#include <cstdlib>
#include <cstring>

#include "ixo/guards.h"
#include "log.h"

namespace commands {

namespace {

char *duplicateText(const char *text) {
    if (text == nullptr) {
        return nullptr;
    }
    char *copy = strdup(text);
    if (copy == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
    }
    return copy;
}

}  // namespace

void setFailure(char **errorClass, char **message, const char *errorClassText,
                const char *messageText) {
    if (errorClass != nullptr) {
        *errorClass = duplicateText(errorClassText);
    }
    if (message != nullptr) {
        *message = duplicateText(messageText);
    }
}

void clearOutputs(IxoCharBuffer **response, char **errorClass, char **message) {
    if (response != nullptr) {
        *response = nullptr;
    }
    if (errorClass != nullptr) {
        *errorClass = nullptr;
    }
    if (message != nullptr) {
        *message = nullptr;
    }
}

const char *parameter(IxoCommand *command, const char *name) {
    if (command == nullptr) {
        return nullptr;
    }
    return getSubNodeContentByName(command->parameters, name);
}

const char *requiredParameter(IxoCommand *command, const char *name) {
    const char *text = parameter(command, name);
    if (text == nullptr) {
        IXO_LOG(IXO_ERROR, "Missing parameter '%s'", name);
    }
    return text;
}

bool flagParameter(IxoCommand *command, const char *name) {
    const char *text = parameter(command, name);
    return text != nullptr && std::strcmp(text, "true") == 0;
}

bool LockoutBracket::open(IxoCommand *command, char **errorClass, char **message) {
    if (flagParameter(command, "lockoutUser") && beginUserLockoutDialog() != 0) {
        setFailure(errorClass, message, "error", "Unable to initiate User lockout screen");
        return false;
    }
    opened = true;
    return true;
}

LockoutBracket::~LockoutBracket() {
    if (opened) {
        endUserLockoutDialog();
    }
}

WriteFilterBracket::WriteFilterBracket(const char *target) : path(target != nullptr ? target : "") {
    if (target != nullptr && ixoIsWritable(target) == 0) {
        // Remembered whatever the outcome: a partly lifted filter is restored too.
        makeWritable(target);
        lifted = true;
    }
}

WriteFilterBracket::~WriteFilterBracket() {
    if (lifted) {
        makeWriteProtected(path.c_str());
    }
}

}  // namespace commands
