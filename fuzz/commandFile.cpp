// The command file and its XML: any bytes either parse into a command record
// or are refused with a reason. A parsed command, written back as the record
// kept across a reboot (line breaks removed), parses again into the same
// command.
#include <cstdlib>
#include <string>

#include "host/host.h"
#include "fuzz/support/fuzzSupport.h"

namespace {

std::string text(const char *value) { return value == nullptr ? std::string() : value; }

// The parameter tree as one string: names, texts and nesting.
void describeNodes(const IxoXmlNode *node, std::string *out) {
    for (; node != nullptr; node = node->next) {
        *out += "<" + text(node->name) + ">";
        if (node->children != nullptr) {
            describeNodes(node->children, out);
        } else {
            *out += text(node->text);
        }
        *out += "</>";
    }
}

std::string describe(const IxoCommand *command) {
    std::string out = "name=" + text(command->name) + "\n";
    if (command->parameters != nullptr) {
        describeNodes(command->parameters, &out);
    }
    for (const IxoMimePart *part = command->mimeParts; part != nullptr; part = part->next) {
        out += "\npart headers=" + text(part->headers) + " body=" +
               agent::charBufferString(part->body);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string error;
    agent::CommandPtr command = fuzz::parseInput(data, size, &error);
    if (!command) {
        FUZZ_CHECK(!error.empty(), "refused without a reason");
        return 0;
    }
    FUZZ_CHECK(command->parameters != nullptr, "no parameter node");
    std::string first = describe(command.get());

    agent::CharBufferPtr written(getCharBufferFromCommandStruct(command.get()));
    FUZZ_CHECK(written != nullptr, "parsed command cannot be written back: " + first);
    char *kept = charBufferToChar(written.get());
    FUZZ_CHECK(kept != nullptr, "char buffer without text");
    removeNewLines(kept);
    std::string record = kept;
    std::free(kept);

    std::string secondError;
    agent::CommandPtr again = agent::parseCommand(record, "kept.xml", &secondError);
    FUZZ_CHECK(again != nullptr, "written record refused: " + secondError + "\n" + record);
    std::string second = describe(again.get());
    FUZZ_CHECK(first == second, "round trip changed the command:\n" + first + "\n---\n" + second);
    return 0;
}
