// The device's DNS domain, which the agent uses to search for its
// management server.
#define IXO_MODULE "ServerSearch"

#include <cstring>

#include "ixo/registry.h"
#include "ixo/serversearch.h"
#include "log.h"

extern "C" {

IXO_API int getDomainName(char *domain) {
    int handle = p_openReg("/tmp/system.conf");
    if (handle == 0) {
        IXO_LOG(IXO_ERROR, "Error opening registry");
        return -1;
    }
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    int result = p_regGet(handle, value, "DNS", "domainname", "", sizeof value);
    p_CloseNoAction(handle);
    if (result != 0 || value[0] == '\0' || domain == nullptr) {
        return -1;
    }
    std::memcpy(domain, value, std::strlen(value) + 1);
    return 0;
}

IXO_API int findDotsInDomainString(const char *text) {
    if (text == nullptr) {
        return 0;
    }
    int count = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '.') {
            ++count;
        }
    }
    IXO_LOG(IXO_PROGRESS, "count is %d", count);
    return count;
}

}  // extern "C"
