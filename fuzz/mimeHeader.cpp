// MIME header lookup in a part's header block: any block and any name give
// either no value or one value of that header, trimmed and on one line.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/support/fuzzSupport.h"
#include "ixo/agent.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string name = input.ConsumeRandomLengthString(64);
    std::string block = input.ConsumeRemainingBytesAsString();
    char *value = httpPayloadGetHeader(block.c_str(), name.c_str());
    if (value == nullptr) {
        return 0;
    }
    std::string found = value;
    std::free(value);
    FUZZ_CHECK(name.c_str()[0] != '\0', "a value for an empty name");
    FUZZ_CHECK(found.find('\n') == std::string::npos, "value spans lines: " + found);
    FUZZ_CHECK(found.empty() || (found.front() != ' ' && found.front() != '\t' &&
                                 found.back() != ' ' && found.back() != '\t' &&
                                 found.back() != '\r'),
               "value not trimmed: [" + found + "]");
    FUZZ_CHECK(std::strstr(block.c_str(), found.c_str()) != nullptr, "value not in the block");
    return 0;
}
