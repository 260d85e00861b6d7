// Running a command as the device's agent does: the command is kept in the
// registry while it runs, so that a reboot in the middle of it is noticed,
// and its outcome is kept across a reboot that follows it. The outcome is
// printed as text or, with --json, as a JSON document.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "agent/cliCommands.h"
#include "agent/commandOutcome.h"
#include "host/host.h"
#include "agent/jsonOutput.h"
#include "agent/jsonStdout.h"
#include "agent/outcomeReport.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

struct TextDeleter {
    void operator()(char *text) const { std::free(text); }
};
using Text = std::unique_ptr<char, TextDeleter>;

using Json = nlohmann::ordered_json;

// What the agent prints shows no password written into a URL; what it keeps
// and reports to the server stays whole.
std::string shown(const std::string &text) { return ixo::hideUrlPasswords(text); }

void printText(const char *label, const char *text) {
    std::printf("%s: %s\n", label, text != nullptr ? shown(text).c_str() : "(none)");
}

std::optional<std::string> optionalText(const char *text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

bool printJson(JsonStdout &out, const Json &value) {
    std::string error;
    if (!out.print(value, &error)) {
        std::fprintf(stderr, "ixoAgent: %s\n", error.c_str());
        return false;
    }
    return true;
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

// The outcome of the handler's outputs. A failure without a message is
// explained by the errors logged while the command ran.
CommandOutcome outcomeOf(const char *name, int result, const char *errorClass,
                         const char *message, IxoCharBuffer *response,
                         std::vector<std::string> errorsLogged) {
    CommandOutcome outcome;
    outcome.command = name;
    outcome.result = result;
    outcome.errorClass = optionalText(errorClass);
    outcome.message = optionalText(message);
    if (response != nullptr) {
        outcome.response = charBufferString(response);
    }
    if (result != 0 && message == nullptr) {
        outcome.reasons = std::move(errorsLogged);
    }
    return outcome;
}

// How an outcome is printed: as text (no json), or as JSON, alone (run) or
// inside resume's document.
struct OutcomePrint {
    JsonStdout *json = nullptr;
    bool resumed = false;
};

bool printOutcome(const CommandOutcome &outcome, OutcomePrint print) {
    if (print.json == nullptr) {
        printOutcomeText(outcome, stdout);
        return true;
    }
    if (print.resumed) {
        return printJson(*print.json, resumeJson("command", outcomeJson(outcome), nullptr));
    }
    return printJson(*print.json, outcomeJson(outcome));
}

int runCommandRecord(const PlatformLibrary &library, IxoCommand *command, const std::string &source,
                     const RunOptions &options, OutcomePrint print) {
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
    clearRecentErrors();
    int result = entry->handler(command, &response, &errorClass, &message);
    CharBufferPtr responseOwner(response);
    Text errorClassOwner(errorClass);
    Text messageOwner(message);

    CommandOutcome outcome =
        outcomeOf(entry->name, result, errorClass, message, response, recentErrors());
    bool printed = printOutcome(outcome, print);
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
        // Standard output holds the JSON document alone.
        FILE *notices = print.json != nullptr ? stderr : stdout;
        std::fprintf(notices, "rebooting the device\n");
        std::fflush(notices);
        library.rebootAfterCommit();
    } else if (library.saveCommand(nullptr) != 0) {
        std::fprintf(stderr,
                     "ixoAgent: warning: the finished command cannot be cleared from the registry "
                     "(see the log): 'resume' would run it again\n");
    }
    return result == 0 && printed ? 0 : 1;
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

int runCommandFile(const CliContext &context, const std::string &file, bool json) {
    std::string error;
    CommandPtr command = loadCommandFile(file, &error);
    if (!command) {
        return cliFailure(error);
    }
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(json, &out); status != -1) {
        return status;
    }
    return runCommandRecord(*context.library, command.get(), file, context.run,
                            OutcomePrint{out.get(), false});
}

int showPending(const CliContext &context, bool json) {
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(json, &out); status != -1) {
        return status;
    }
    Kept kept = keptAcrossReboot(*context.library);
    if (out) {
        return printJson(*out, pendingJson(kept.command.get(), kept.response.get())) ? 0 : 1;
    }
    printText("saved command", kept.command.get());
    printText("saved response", kept.response.get());
    return 0;
}

// The kept outcome, reported once.
bool reportKeptOutcome(const char *keptText, JsonStdout *json) {
    std::optional<CommandOutcome> outcome = parseOutcomeDocument(keptText);
    if (json != nullptr) {
        Json fields = outcome ? outcomeJson(*outcome) : Json(nullptr);
        return printJson(*json, resumeJson("outcome", std::move(fields), keptText));
    }
    std::printf("outcome kept across the reboot:\n%s\n", shown(keptText).c_str());
    std::string status = outcome ? waitStatusLine(*outcome) : "";
    if (!status.empty()) {
        std::printf("%s\n", status.c_str());
    }
    return true;
}

int resumePending(const CliContext &context, bool json) {
    const PlatformLibrary &library = *context.library;
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(json, &out); status != -1) {
        return status;
    }
    Kept kept = keptAcrossReboot(library);
    const char *commandText = kept.command.get();
    const char *responseText = kept.response.get();
    if (responseText != nullptr) {
        // The command finished before the reboot: report its outcome once.
        // Kept when it could not be reported.
        if (!reportKeptOutcome(responseText, out.get())) {
            return 1;
        }
        library.saveResponse(nullptr);
        library.saveCommand(nullptr);
        return 0;
    }
    if (commandText == nullptr) {
        if (out) {
            return printJson(*out, resumeJson(nullptr, nullptr, nullptr)) ? 0 : 1;
        }
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
    if (!out) {
        std::printf("resuming the command interrupted by the reboot\n");
    }
    return runCommandRecord(library, command.get(), "saved command", context.run,
                            OutcomePrint{out.get(), true});
}

}  // namespace

void defineCommandRuns(CommandLine &commandLine) {
    CLI::App &root = commandLine.root();
    commandLine.add(root, "commands", "list the library's command table", Needs::Library,
                    listCommands);
    auto file = std::make_shared<std::string>();
    auto runAsJson = std::make_shared<bool>(false);
    CLI::App *run = commandLine.add(
        root, "run",
        "run one command file and print its outcome\n"
        "through the command table: the result code, error class, message,\n"
        "the reasons of a failure that has no message, and the response, with\n"
        "the meaning of a wait status in it. The command is kept in the registry\n"
        "while it runs.",
        Needs::DeviceShell,
        [file, runAsJson](const CliContext &context) {
            return runCommandFile(context, *file, *runAsJson);
        });
    run->add_option("FILE.xml", *file, "the command file")->required()->type_name("");
    run->add_flag("--json", *runAsJson, "print the outcome as a JSON document");
    auto pendingAsJson = std::make_shared<bool>(false);
    CLI::App *pending = commandLine.add(
        root, "pending",
        "show what is kept across a reboot\n"
        "the command and the outcome kept for after a reboot",
        Needs::Library,
        [pendingAsJson](const CliContext &context) {
            return showPending(context, *pendingAsJson);
        });
    pending->add_flag("--json", *pendingAsJson, "print them as a JSON document");
    auto resumeAsJson = std::make_shared<bool>(false);
    CLI::App *resume = commandLine.add(
        root, "resume",
        "report or finish what a reboot interrupted\n"
        "after a reboot: report the kept outcome, or run the interrupted\n"
        "command again; then clear them",
        Needs::DeviceShell,
        [resumeAsJson](const CliContext &context) {
            return resumePending(context, *resumeAsJson);
        });
    resume->add_flag("--json", *resumeAsJson, "print what was resumed as a JSON document");
}

}  // namespace agent
