// ixoAgent run, network and inventory end to end: command files that run
// nothing, and the documents the device reports.

#include <cstdio>
#include <regex>

#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

TEST_F(AgentEndToEnd, BadCommandFilesRunNothing) {
    initDevice();
    std::string opening, closing;
    for (int level = 0; level < 100000; ++level) {
        opening += "<p>\n";
        closing += "</p>";
    }
    struct Case {
        std::string content;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"<command name=\"deleteFile\">\n<parameters>\n<file>/etc</parameters>\n</command>\n",
         "bad.xml:3"},
        {"<?xml version=\"1.0\"?>\n\n<command name=\"formatDisk\">\n<parameters/>\n</command>\n",
         "bad.xml:3: unknown command 'formatDisk'"},
        // Nested 100,000 deep, one opening tag a line: the agent's stack would not
        // hold the walks over it.
        {"<command name=\"deleteFile\">\n<parameters>\n" + opening + closing +
             "</parameters></command>\n",
         "bad.xml:65: elements nested more than 64 deep"},
        {"", "absent.xml"},
    };
    for (const Case &bad : cases) {
        std::string file = work + (bad.content.empty() ? "/absent.xml" : "/bad.xml");
        if (!bad.content.empty()) {
            support::writeFile(file, bad.content);
        }
        AgentRun run = onDevice({"run", file});
        EXPECT_EQ(run.exitCode, 2) << bad.expected;
        EXPECT_THAT(run.err, HasSubstr(bad.expected));
        EXPECT_THAT(run.out, Not(HasSubstr("result:")));
    }
    EXPECT_THAT(sim::programLog(device), IsEmpty());
}

// "<name>text</name>" of every element of an XML text that holds text, in order.
std::string leaves(const std::string &xml) {
    static const std::regex leaf("<([A-Za-z]+)>[^<]*</\\1>");
    std::string found;
    for (std::sregex_iterator match(xml.begin(), xml.end(), leaf), end; match != end; ++match) {
        found += match->str();
    }
    return found;
}

TEST_F(AgentEndToEnd, NetworkJsonHoldsEveryFieldOfTheDocument) {
    initDevice();
    AgentRun xml = onDevice({"network"});
    // The order of the fields is the point.
    auto json = nlohmann::ordered_json::parse(onDevice({"network", "--json"}).out);
    ASSERT_EQ(xml.exitCode, 0) << xml.err;
    EXPECT_EQ(json["networkInterfaces"].size(), 4u);
    for (const auto &net : json["networkInterfaces"]) {
        std::string section = net["section"];
        size_t start = xml.out.find("<section>" + section + "</section>");
        ASSERT_NE(start, std::string::npos) << section;
        // A list's entries in order, each an element of its own.
        std::string fromJson;
        for (const auto &[name, value] : net.items()) {
            std::string tag = !value.is_array() ? name
                              : name == "dnsSuffixes" ? "dnsSuffix"
                                                      : name.substr(0, name.size() - 1);
            for (const auto &text : value.is_array() ? value : nlohmann::ordered_json::array({value})) {
                fromJson += "<" + tag + ">" +
                            (text.is_string() ? text.get<std::string>() : text.dump()) + "</" +
                            tag + ">";
            }
        }
        EXPECT_EQ(fromJson, leaves(xml.out.substr(start, xml.out.find("</networkInterface>", start) - start)));
    }
    AgentRun missing = onDevice({"network", "Network-eth9", "wlan0"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("Network-eth9: no such interface"));
    EXPECT_THAT(missing.out, HasSubstr("<section>Network-wlan0</section>"));
    EXPECT_THAT(missing.out, Not(HasSubstr("Network-eth0")));
}

TEST_F(AgentEndToEnd, InventoryDocumentAndSummary) {
    initDevice({"--platform", "Zinth"});
    // Memory and processor as the machine running the device has them,
    // made the same on every machine.
    support::writeFile(device + "/proc/meminfo", "MemTotal:        1014564 kB\n");
    support::writeFile(device + "/proc/cpuinfo",
                       "processor\t: 0\nvendor_id\t: CentaurHauls\ncpu MHz\t\t: 1000.000\n");
    AgentRun document = onDevice({"--log-file", work + "/agent.log", "inventory", "--xml"});
    EXPECT_EQ(document.exitCode, 0) << document.err;
    EXPECT_EQ(document.out, support::readFile(std::string(IXO_SOURCE_DIR) +
                                              "/tests/agent/expected/inventory-zinth.xml"));
    // The EEPROM layer's hardware messages stay out of the document.
    EXPECT_THAT(document.err, HasSubstr("Found a VIA Technologies adapter"));

    // No controller on the bus and no answer from the system tool.
    std::remove((device + "/proc/bus/pci/devices").c_str());
    sim::setKnob(device, "sys.exit", "1");
    AgentRun summary = onDevice({"--log-file", work + "/agent.log", "inventory"});
    EXPECT_EQ(summary.exitCode, 0) << summary.err;
    for (const char *line : {"Platform        unavailable (platform type 4)\n",
                             "Serial number   unavailable\n", "Security key    unavailable\n",
                             "BIOS flash      unavailable\n", "Memory          1014564 kB\n",
                             "Processor       CentaurHauls, 1000 MHz\n"}) {
        EXPECT_THAT(summary.out, HasSubstr(line));
    }
    EXPECT_THAT(summary.out, Not(HasSubstr("No ethernet device")));
}

}  // namespace
}  // namespace e2e
