// "network": the device's network interfaces as the agent reports them, read
// by the library from the temporary registry and printed as an XML document,
// or as JSON.

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "agent/cliCommands.h"
#include "agent/indentedDocument.h"
#include "host/host.h"
#include "agent/jsonOutput.h"
#include "agent/jsonStdout.h"
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
    std::string missing;
    return resolveEntry(library, "getNetworkInterfaceData", &entries->readInterface, &missing) &&
           resolveEntry(library, "networkInterfaces", &entries->sections, &missing);
}

// The sections asked for ("eth0" stands for "Network-eth0"), or every
// section the library knows.
std::vector<std::string> chosenSections(const std::vector<std::string> &named,
                                        const Library &entries) {
    std::vector<std::string> sections;
    for (const std::string &argument : named) {
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

const NetworkInterface *lastInterface(const PlatformData &record) {
    const NetworkInterface *net = record.networkList;
    while (net != nullptr && net->next != nullptr) {
        net = net->next;
    }
    return net;
}

using Interfaces = std::vector<std::pair<std::string, const NetworkInterface *>>;

bool printXml(const Interfaces &read) {
    IndentedDocument document;
    document.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    document.open(0, "networkInterfaces");
    for (const auto &[section, net] : read) {
        addInterfaceElement(document, 1, section, *net, fieldText);
    }
    document.close(0, "networkInterfaces");
    if (!document.ok) {
        return false;
    }
    std::fputs(charBufferString(document.buffer.get()).c_str(), stdout);
    return true;
}

bool printJson(JsonStdout &out, const Interfaces &read) {
    nlohmann::ordered_json interfaces = nlohmann::ordered_json::array();
    for (const auto &[section, net] : read) {
        interfaces.push_back(networkInterfaceJson(section, *net));
    }
    std::string error;
    if (!out.print(nlohmann::ordered_json{{"networkInterfaces", std::move(interfaces)}}, &error)) {
        std::fprintf(stderr, "ixoAgent: %s\n", error.c_str());
        return false;
    }
    return true;
}

int showInterfaces(const CliContext &context, const std::vector<std::string> &named, bool json) {
    const PlatformLibrary &library = *context.library;
    Library entries;
    if (!resolveNetworkEntries(library, &entries)) {
        return cliFailure(library.path + ": no network interface inventory in this library");
    }
    // mii-tool runs for the wired interfaces: their programs print nothing
    // into the document.
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(json, &out); status != -1) {
        return status;
    }
    std::vector<std::string> sections = chosenSections(named, entries);
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
    Interfaces read;
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
        } else if (result != 0 && !named.empty()) {
            std::fprintf(stderr, "ixoAgent: %s: no such interface (no \"mac\" in %s)\n",
                         section.c_str(), kTemporaryRegistry);
            complete = false;
        }
    }
    library.closeRegistry(registry);

    if (out) {
        complete = printJson(*out, read) && complete;
    } else if (!printXml(read)) {
        return cliFailure("cannot build the interface document");
    }
    return complete ? 0 : 1;
}

}  // namespace

void defineNetwork(CommandLine &commandLine) {
    auto sections = std::make_shared<std::vector<std::string>>();
    auto asJson = std::make_shared<bool>(false);
    CLI::App *command = commandLine.add(
        commandLine.root(), "network",
        "print the network interfaces as XML or JSON\n"
        "those of the temporary registry as the agent reports them (all the\n"
        "library's sections by default; eth0 stands for Network-eth0), with the\n"
        "live link state of wired interfaces",
        Needs::Library, [sections, asJson](const CliContext &context) {
            return showInterfaces(context, *sections, *asJson);
        });
    command->add_option("SECTION", *sections, "the sections to show")->type_name("");
    command->add_flag("--json", *asJson, "print them as a JSON document instead");
}

}  // namespace agent
