#include "agent/outcomeReport.h"

#include "agent/waitStatus.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

// What the agent prints shows no password written into a URL; what it keeps
// and reports to the server stays whole.
void printText(FILE *out, const char *label, const std::optional<std::string> &text) {
    std::fprintf(out, "%s: %s\n", label,
                 text ? ixo::hideUrlPasswords(*text).c_str() : "(none)");
}

}  // namespace

std::string waitStatusLine(const CommandOutcome &outcome) {
    const ResponseLayout *layout = responseLayout(outcome.command);
    if (layout == nullptr || !outcome.response) {
        return "";
    }
    std::optional<std::string> text =
        responseField(responseFields(*outcome.response), layout->statusElement);
    std::optional<int> status = text ? parseInteger(*text) : std::nullopt;
    if (!status) {
        return "";
    }
    return std::string(layout->statusElement) + ": " + std::to_string(*status) + " (" +
           explainWaitStatus(*status) + ")";
}

void printOutcomeText(const CommandOutcome &outcome, FILE *out) {
    std::fprintf(out, "command: %s\n", outcome.command.c_str());
    std::fprintf(out, "result: %d\n", outcome.result);
    printText(out, "errorClass", outcome.errorClass);
    printText(out, "message", outcome.message);
    for (const std::string &reason : outcome.reasons) {
        printText(out, "reason", reason);
    }
    if (outcome.response) {
        std::fprintf(out, "response:\n%s\n", ixo::hideUrlPasswords(*outcome.response).c_str());
        std::string status = waitStatusLine(outcome);
        if (!status.empty()) {
            std::fprintf(out, "%s\n", status.c_str());
        }
    } else {
        printText(out, "response", std::nullopt);
    }
}

}  // namespace agent
