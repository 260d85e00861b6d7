// A command's outcome as ixoAgent reports it: what the handler returned, the
// reasons of a failure that came without a message, and the fields of its
// result document.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace agent {

struct CommandOutcome {
    std::string command;
    int result = 0;
    std::optional<std::string> errorClass;
    std::optional<std::string> message;
    // The handler's result document, byte for byte.
    std::optional<std::string> response;
    // The error lines logged while the command ran, given only when it failed
    // without a message.
    std::vector<std::string> reasons;
};

// How a command's result document is read: the element that holds a raw
// wait status and the elements that hold text.
struct ResponseLayout {
    const char *command;
    const char *statusElement;
    std::vector<const char *> textElements;
};
// Null for a command whose result document has no status.
const ResponseLayout *responseLayout(const std::string &command);

// The leaf elements of a result document in order, their text decoded:
// executeOnDevice's commandExitCode, stdOut and stdErr, queryUser's single
// seconds. Empty when the text is not a well-formed document.
using ResponseFields = std::vector<std::pair<std::string, std::string>>;
ResponseFields responseFields(const std::string &document);
// The text of the named field, or nothing when the document lacks it.
std::optional<std::string> responseField(const ResponseFields &fields, const std::string &name);

// The integer an element holds, written as addIntegerElement writes it
// ("-1", "768"); nothing for any other text or a value beyond an int.
std::optional<int> parseInteger(const std::string &text);

// An outcome read back from the document kept across a reboot
// (<commandOutcome>); nothing when the text is not one.
std::optional<CommandOutcome> parseOutcomeDocument(const std::string &document);

}  // namespace agent
