// The setConfiguration parser: any command document that parses gives either
// a configuration record or null, never a record with a field the parser
// promised to keep bounded left unterminated.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "fuzz/support/fuzzSupport.h"
#include "ixo/agent.h"

namespace {

template <size_t N>
void checkTerminated(const char (&field)[N], const char *what) {
    FUZZ_CHECK(std::memchr(field, '\0', N) != nullptr, what);
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
        return 0;
    }
    PlatformData *record = parseConfigurationCommand(command.get());
    if (record == nullptr) {
        return 0;
    }
    checkTerminated(record->hostName, "hostName");
    checkTerminated(record->locale, "locale");
    for (NetworkInterface *net = record->networkList; net != nullptr; net = net->next) {
        checkTerminated(net->mac, "mac");
        checkTerminated(net->address, "address");
        checkTerminated(net->netmask, "netmask");
        checkTerminated(net->gateway, "gateway");
    }
    freePlatformData(record);
    std::free(record);
    return 0;
}
