// "setConfiguration": the agent turns the command into a configuration
// record, which the platform layer applies; the record is released here.
#define IXO_MODULE "PlatformCommands"

#include <cstdlib>
#include <memory>

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "ixo/platform.h"
#include "log.h"

namespace {

// The record is the handler's from the parse on: the agent frees its lists,
// the handler the record itself. A failure to free them changes nothing in
// the command's result.
struct RecordRelease {
    void operator()(PlatformData *record) const {
        if (freePlatformData(record) != 0) {
            IXO_LOG(IXO_ERROR, "Unknown error trying to free platform data");
        }
        std::free(record);
    }
};

}  // namespace

namespace commands {

int handleIxoSetConfiguration(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                              char **message) {
    clearOutputs(response, errorClass, message);
    LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    std::unique_ptr<PlatformData, RecordRelease> record(parseConfigurationCommand(command));
    if (!record) {
        IXO_LOG(IXO_ERROR, "Invalid arguments in setConfiguration");
        setFailure(errorClass, message, "invalid_arguments", nullptr);
        return -1;
    }
    if (setPlatformData(record.get()) != 0) {
        IXO_LOG(IXO_ERROR, "Error setting platform data");
        setFailure(errorClass, message, "invalid_arguments", "Error while setting configuration");
        return -1;
    }
    return 0;
}

}  // namespace commands
