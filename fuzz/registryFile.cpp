// The registry file's text: a parsed document serialises back byte for byte
// (line endings aside: CRs before an LF are dropped, and the last line
// gets its LF), and setting a value or removing a section leaves a document that
// parses again and holds what was set.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "host/registry/registryFormat.h"
#include "fuzz/support/fuzzSupport.h"

namespace {

using namespace agent::registry;

// The input as the parser reads it, written as the serialiser writes it.
std::string normalised(const std::string &content) {
    std::string out;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out += line + "\n";
        start = end + 1;
    }
    return out;
}

Document reparse(const Document &document, const char *after) {
    std::string text = serialiseDocument(document);
    Document again;
    ParseError error;
    FUZZ_CHECK(parseDocument(text, &again, &error),
               std::string(after) + ": line " + std::to_string(error.line) + ": " +
                   error.reason + "\n" + text);
    FUZZ_CHECK(serialiseDocument(again) == text, std::string(after) + ": not stable\n" + text);
    return again;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string section = input.ConsumeRandomLengthString(40);
    std::string key = input.ConsumeRandomLengthString(40);
    std::string value = input.ConsumeRandomLengthString(1100);
    std::string content = input.ConsumeRemainingBytesAsString();

    Document document;
    ParseError error;
    if (!parseDocument(content, &document, &error)) {
        FUZZ_CHECK(error.line >= 1 && !error.reason.empty(), "refused without a place");
        return 0;
    }
    FUZZ_CHECK(serialiseDocument(document) == normalised(content),
               "not written back as read:\n" + content);
    reparse(document, "parsed");

    std::string reason;
    bool writable = validSectionName(section.c_str(), &reason) &&
                    validKeyName(key.c_str(), &reason) && validValue(value.c_str(), &reason);
    if (!writable) {
        return 0;
    }
    // The names as the library hands them over: C strings.
    section = section.c_str();
    key = key.c_str();
    value = value.c_str();
    setValue(&document, section, key, value);
    Document afterSet = reparse(document, "after setValue");
    const Line *line = findKey(afterSet, section, key);
    FUZZ_CHECK(line != nullptr && line->value() == value,
               "set value does not read back: [" + section + "] " + key + "=" + value + "\n" +
                   serialiseDocument(document));

    FUZZ_CHECK(removeSection(&afterSet, section), "set section not found for removal");
    Document afterRemove = reparse(afterSet, "after removeSection");
    FUZZ_CHECK(findKey(afterRemove, section, key) == nullptr, "removed section still found");
    return 0;
}
