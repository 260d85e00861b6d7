// "network": the device's network interfaces as the agent reports them, read
// by the library from the temporary registry and printed as an XML document.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "agent/cliCommands.h"
#include "agent/ixoagent.h"
#include "ixo/platform.h"

namespace agent {

namespace {

const char kTemporaryRegistry[] = "/tmp/system.conf";
const char kSectionPrefix[] = "Network-";

struct RecordRelease {
    void operator()(PlatformData *record) const {
        freePlatformData(record);
        std::free(record);
    }
};

struct Library {
    decltype(&::getNetworkInterfaceData) readInterface = nullptr;
    const NetworkInterfaceSection *sections = nullptr;
};

bool resolveNetworkEntries(const PlatformLibrary &library, Library *entries) {
    entries->readInterface = reinterpret_cast<decltype(&::getNetworkInterfaceData)>(
        dlsym(library.handle, "getNetworkInterfaceData"));
    entries->sections =
        static_cast<const NetworkInterfaceSection *>(dlsym(library.handle, "networkInterfaces"));
    return entries->readInterface != nullptr && entries->sections != nullptr;
}

// The sections asked for ("eth0" stands for "Network-eth0"), or every
// section the library knows.
std::vector<std::string> chosenSections(const CliContext &context, const Library &entries) {
    std::vector<std::string> sections;
    for (const std::string &argument : context.arguments) {
        sections.push_back(argument.rfind(kSectionPrefix, 0) == 0 ? argument
                                                                  : kSectionPrefix + argument);
    }
    if (sections.empty()) {
        for (const NetworkInterfaceSection *row = entries.sections; row->sectionName[0] != '\0';
             ++row) {
            sections.emplace_back(row->sectionName,
                                  strnlen(row->sectionName, sizeof row->sectionName));
        }
    }
    return sections;
}

struct Document {
    CharBufferPtr buffer{createCharBuffer()};
    bool ok = buffer != nullptr;

    void raw(const std::string &text) {
        ok = ok &&
             addDataToCharBuffer(buffer.get(), text.data(), static_cast<int>(text.size())) == 0;
    }
    void text(int depth, const char *name, const char *value) {
        CharBufferPtr content(createCharBuffer());
        raw(std::string(2 * depth, ' '));
        ok = ok && content &&
             addDataToCharBuffer(content.get(), value,
                                 static_cast<int>(strnlen(value, IXO_TEXT_FIELD_SIZE))) == 0 &&
             addCharBufferElement(buffer.get(), name, content.get()) == 0;
        raw("\n");
    }
    void number(int depth, const char *name, uint32_t value) {
        raw(std::string(2 * depth, ' '));
        ok = ok && addIntegerElement(buffer.get(), name, static_cast<int>(value)) == 0;
        raw("\n");
    }
    void open(int depth, const char *name) {
        raw(std::string(2 * depth, ' '));
        ok = ok && addOpeningTag(buffer.get(), name) == 0;
        raw("\n");
    }
    void close(int depth, const char *name) {
        raw(std::string(2 * depth, ' '));
        ok = ok && addClosingTag(buffer.get(), name) == 0;
        raw("\n");
    }
    // A list element with one child per entry; every entry begins with its text.
    template <typename Entry>
    void list(int depth, const char *name, const char *entryName, const Entry *first) {
        if (first == nullptr) {
            return;
        }
        open(depth, name);
        for (const Entry *entry = first; entry != nullptr; entry = entry->next) {
            text(depth + 1, entryName, reinterpret_cast<const char *>(entry));
        }
        close(depth, name);
    }
};

void printInterface(Document &document, const std::string &section, const NetworkInterface &net) {
    document.open(1, "networkInterface");
    document.text(2, "section", section.c_str());
    document.text(2, "mac", net.mac);
    document.number(2, "ipAssignmentType", net.ipAssignmentType);
    document.text(2, "address", net.address);
    document.text(2, "netmask", net.netmask);
    document.text(2, "gateway", net.gateway);
    document.number(2, "interfaceType", net.interfaceType);
    document.text(2, "dhcpServer", net.dhcpServer);
    document.number(2, "dhcpEnabled", net.dhcpEnabled);
    document.number(2, "active", net.active);
    document.number(2, "onboard", net.onboard);
    document.number(2, "isPrimary", net.isPrimary);
    document.number(2, "speedSetting", net.speedSetting);
    document.number(2, "linkSpeed", net.linkSpeed);
    document.number(2, "duplexSetting", net.duplexSetting);
    document.number(2, "linkDuplex", net.linkDuplex);
    document.list(2, "dnsServers", "dnsServer", net.dnsServers);
    document.list(2, "dnsSuffixes", "dnsSuffix", net.dnsSuffixes);
    document.list(2, "winsServers", "winsServer", net.winsServers);
    document.close(1, "networkInterface");
}

const NetworkInterface *lastInterface(const PlatformData &record) {
    const NetworkInterface *net = record.networkList;
    while (net != nullptr && net->next != nullptr) {
        net = net->next;
    }
    return net;
}

}  // namespace

int networkCommand(const CliContext &context) {
    const PlatformLibrary &library = *context.library;
    Library entries;
    if (!resolveNetworkEntries(library, &entries)) {
        return cliFailure(library.path + ": no network interface inventory in this library");
    }
    std::vector<std::string> sections = chosenSections(context, entries);
    std::unique_ptr<PlatformData, RecordRelease> record(
        static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData))));
    if (!record) {
        return cliFailure("out of memory");
    }
    int registry = library.openRegistry(kTemporaryRegistry);
    if (registry == 0) {
        std::fprintf(stderr, "ixoAgent: cannot open registry %s (see the log)\n",
                     kTemporaryRegistry);
        return 1;
    }
    // Which section each interface of the record came from.
    std::vector<std::pair<std::string, const NetworkInterface *>> read;
    bool complete = true;
    for (const std::string &section : sections) {
        const NetworkInterface *before = lastInterface(*record);
        int result = entries.readInterface(registry, record.get(), section.c_str());
        const NetworkInterface *after = lastInterface(*record);
        if (after != before) {
            read.emplace_back(section, after);
        }
        if (result != 0 && after != before) {
            std::fprintf(stderr,
                         "ixoAgent: %s: a value could not be read; the interface is "
                         "incomplete (see the log)\n",
                         section.c_str());
            complete = false;
        } else if (result != 0 && !context.arguments.empty()) {
            std::fprintf(stderr, "ixoAgent: %s: no such interface (no \"mac\" in %s)\n",
                         section.c_str(), kTemporaryRegistry);
            complete = false;
        }
    }
    library.closeRegistry(registry);

    Document document;
    document.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    document.open(0, "networkInterfaces");
    for (const auto &[section, net] : read) {
        printInterface(document, section, *net);
    }
    document.close(0, "networkInterfaces");
    if (!document.ok) {
        return cliFailure("cannot build the interface document");
    }
    std::fputs(charBufferString(document.buffer.get()).c_str(), stdout);
    return complete ? 0 : 1;
}

}  // namespace agent
