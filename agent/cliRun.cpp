// Running a command as the device's agent does: the command is kept in the
// registry while it runs, so that a reboot in the middle of it is noticed,
// and its outcome is kept across a reboot that follows it.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "agent/cliCommands.h"
#include "agent/ixoagent.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

struct TextDeleter {
    void operator()(char *text) const { std::free(text); }
};
using Text = std::unique_ptr<char, TextDeleter>;

// What the agent prints shows no password written into a URL; what it keeps
// and reports to the server stays whole.
std::string shown(const std::string &text) { return ixo::hideUrlPasswords(text); }

void printText(const char *label, const char *text) {
    std::printf("%s: %s\n", label, text != nullptr ? shown(text).c_str() : "(none)");
}

// The outcome as the agent reports it to the server.
CharBufferPtr outcomeDocument(const char *name, int result, const char *errorClass,
                              const char *message, IxoCharBuffer *response) {
    CharBufferPtr document(createCharBuffer());
    CharBufferPtr text(createCharBuffer());
    if (!document || !text) {
        return nullptr;
    }
    addOpeningTag(document.get(), "commandOutcome");
    addDataToCharBuffer(text.get(), name, static_cast<int>(std::string(name).size()));
    addCharBufferElement(document.get(), "command", text.get());
    addIntegerElement(document.get(), "result", result);
    for (auto [element, value] : {std::pair{"errorClass", errorClass}, std::pair{"message", message}}) {
        if (value != nullptr) {
            CharBufferPtr valueBuffer(createCharBuffer());
            addDataToCharBuffer(valueBuffer.get(), value, static_cast<int>(std::string(value).size()));
            addCharBufferElement(document.get(), element, valueBuffer.get());
        }
    }
    if (response != nullptr) {
        addCharBufferElement(document.get(), "response", response);
    }
    addClosingTag(document.get(), "commandOutcome");
    return document;
}

// True only when the registry could be read and keeps neither a command nor
// a response.
bool nothingKept(const PlatformLibrary &library) {
    for (const char *key : {"PendingCommandXml", "PendingResponse"}) {
        char value[IXO_REGISTRY_BUFFER_SIZE] = "";
        if (library.getSetting(key, value) != 0 || value[0] != '\0') {
            return false;
        }
    }
    return true;
}

int runCommandRecord(const PlatformLibrary &library, IxoCommand *command, const std::string &source,
                     const RunOptions &options) {
    const PlatformCommandHandler *entry = findCommandHandler(library.commandHandlers(), command->name);
    if (entry == nullptr) {
        return cliFailure(source + ":" + std::to_string(command->line) + ": unknown command '" +
                          command->name + "' (see 'ixoAgent commands')");
    }
    if (library.saveCommand(command) != 0) {
        // The library cleared what was kept before, unless the registry
        // refused that too: then an older command would run after a reboot.
        if (!nothingKept(library)) {
            std::fprintf(stderr,
                         "ixoAgent: the command cannot be kept across a reboot, and the command "
                         "kept before cannot be cleared (see the log): not running it\n");
            return 1;
        }
        std::fprintf(stderr,
                     "ixoAgent: warning: the command cannot be kept across a reboot (too long "
                     "to keep, or see the log); running it all the same\n");
    }
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    int result = entry->handler(command, &response, &errorClass, &message);
    CharBufferPtr responseOwner(response);
    Text errorClassOwner(errorClass);
    Text messageOwner(message);

    std::printf("command: %s\n", entry->name);
    std::printf("result: %d\n", result);
    printText("errorClass", errorClass);
    printText("message", message);
    if (response != nullptr) {
        std::printf("response:\n%s\n", shown(charBufferString(response)).c_str());
    } else {
        printText("response", nullptr);
    }
    std::fflush(stdout);

    if (options.rebootAfter) {
        // The command stays saved with its outcome: after the reboot the
        // agent reports the outcome and clears both ("ixoAgent resume").
        CharBufferPtr outcome = outcomeDocument(entry->name, result, errorClass, message, response);
        if (!outcome || library.saveResponse(outcome.get()) != 0) {
            std::fprintf(stderr,
                         "ixoAgent: warning: the outcome cannot be kept across the reboot (too "
                         "long to keep, or see the log)\n");
        }
        std::printf("rebooting the device\n");
        std::fflush(stdout);
        library.rebootAfterCommit();
    } else if (library.saveCommand(nullptr) != 0) {
        std::fprintf(stderr,
                     "ixoAgent: warning: the finished command cannot be cleared from the registry "
                     "(see the log): 'resume' would run it again\n");
    }
    return result == 0 ? 0 : 1;
}

struct Kept {
    Text command;
    Text response;
};

// What the registry keeps across a reboot; null where nothing is kept.
Kept keptAcrossReboot(const PlatformLibrary &library) {
    char *command = nullptr;
    char *response = nullptr;
    library.savedCommand(&command);
    library.savedResponse(&response);
    return Kept{Text(command), Text(response)};
}

int listCommands(const CliContext &context) {
    for (const PlatformCommandHandler *entry = context.library->commandHandlers();
         entry->handler != nullptr && entry->name[0] != '\0'; ++entry) {
        std::printf("%s\n", entry->name);
    }
    return 0;
}

int runCommandFile(const CliContext &context, const std::string &file) {
    std::string error;
    CommandPtr command = loadCommandFile(file, &error);
    if (!command) {
        return cliFailure(error);
    }
    return runCommandRecord(*context.library, command.get(), file, context.run);
}

int showPending(const CliContext &context) {
    Kept kept = keptAcrossReboot(*context.library);
    printText("saved command", kept.command.get());
    printText("saved response", kept.response.get());
    return 0;
}

int resumePending(const CliContext &context) {
    const PlatformLibrary &library = *context.library;
    Kept kept = keptAcrossReboot(library);
    const char *commandText = kept.command.get();
    const char *responseText = kept.response.get();
    if (responseText != nullptr) {
        // The command finished before the reboot: report its outcome once.
        std::printf("outcome kept across the reboot:\n%s\n", shown(responseText).c_str());
        library.saveResponse(nullptr);
        library.saveCommand(nullptr);
        return 0;
    }
    if (commandText == nullptr) {
        std::printf("nothing to resume\n");
        return 0;
    }
    std::string error;
    CommandPtr command = parseCommand(commandText, "saved command", &error);
    if (!command) {
        // A saved command that cannot be read would be retried forever.
        library.saveCommand(nullptr);
        return cliFailure(error + " (the saved command was dropped)");
    }
    std::printf("resuming the command interrupted by the reboot\n");
    return runCommandRecord(library, command.get(), "saved command", context.run);
}

}  // namespace

void defineCommandRuns(CommandLine &commandLine) {
    CLI::App &root = commandLine.root();
    commandLine.add(root, "commands", "list the library's command table", Needs::Library,
                    listCommands);
    auto file = std::make_shared<std::string>();
    CLI::App *run = commandLine.add(
        root, "run",
        "run one command file and print its outcome\n"
        "through the command table: the result code, error class, message and\n"
        "response. The command is kept in the registry while it runs.",
        Needs::DeviceShell,
        [file](const CliContext &context) { return runCommandFile(context, *file); });
    run->add_option("FILE.xml", *file, "the command file")->required()->type_name("");
    commandLine.add(root, "pending",
                    "show what is kept across a reboot\n"
                    "the command and the outcome kept for after a reboot",
                    Needs::Library, showPending);
    commandLine.add(root, "resume",
                    "report or finish what a reboot interrupted\n"
                    "after a reboot: report the kept outcome, or run the interrupted\n"
                    "command again; then clear them",
                    Needs::DeviceShell, resumePending);
}

}  // namespace agent
