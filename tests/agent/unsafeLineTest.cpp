// Outside text against the device's shell, end to end: tainted command
// parameters, registry sections and file names go through ixoAgent, and every
// line it runs is scanned (by the fixture's tear-down) for tainted text that
// a shell would act on. Here each way in is also shown to be taken: the text
// reaches its device program whole, as one argument, and nothing it holds
// runs. The server's own command line and location of "executeOnDevice" and
// the interfaces' change commands run as given by design: they carry plain
// text here.

#include <algorithm>

#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

using support::xmlText;

class UnsafeLineEndToEnd : public e2e::AgentEndToEnd {
protected:
    void SetUp() override {
        AgentEndToEnd::SetUp();
        initDevice();
    }
    AgentRun runCommand(const std::string &name, const std::string &parameters) {
        return onDevice({"run", commandFile(name, parameters)});
    }
    // The lines the agent ran that hold tainted text.
    long taintedLines() const {
        std::vector<std::string> lines = shellLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string &line) {
            return line.find(e2e::kTaintBegin) != std::string::npos;
        });
    }
};

TEST_F(UnsafeLineEndToEnd, AddOnNamesReachTheDeinstallerAsOneArgument) {
    AgentRun run = runCommand("uninstallFromDevice",
                              "<applicationName>/etc/addons.d/" + xmlText(tainted()) +
                                  "</applicationName><lockoutUser>false</lockoutUser>");
    // No such add-on: the deinstaller says so, and the command fails.
    EXPECT_THAT(run.out, HasSubstr("result: -1")) << run.err;
    EXPECT_EQ(taintedLines(), 1);
    EXPECT_THAT(sim::programLog(device), Contains("deinstall.sh -p /tmp/ixoAddonPipe " + tainted()));
}

TEST_F(UnsafeLineEndToEnd, QuestionLabelsReachTheDialogAsText) {
    std::string pair = "<pair><key>" + xmlText(tainted()) + "</key><value>" + xmlText(tainted()) +
                       "</value></pair>";
    AgentRun run = runCommand("queryUser", "<timeout>" + xmlText(tainted()) + "</timeout>" +
                                               "<delaySet>" + pair + pair + "</delaySet>");
    EXPECT_THAT(run.out, HasSubstr("result: 0")) << run.err;
    EXPECT_EQ(taintedLines(), 1);
    // What the shell would still act on inside double quotes is dropped.
    std::string label = tainted();
    label.erase(std::remove_if(label.begin(), label.end(),
                               [](char c) { return std::string("$\"\\`").find(c) != std::string::npos; }),
                label.end());
    EXPECT_THAT(sim::programLog(device), Contains("queryUser 0 " + label + " 0 " + label + " 0"));
}

TEST_F(UnsafeLineEndToEnd, ParametersOutsideTheCommandLinesNeverReachAShell) {
    std::string file = "/tmp/" + tainted();
    support::writeFile(device + file, "x");
    AgentRun remove = runCommand("deleteFile", "<file>" + xmlText(file) + "</file>");
    EXPECT_THAT(remove.out, HasSubstr("result: 0")) << remove.err;
    EXPECT_FALSE(support::exists(device + file));

    AgentRun execute = runCommand(
        "executeOnDevice", "<deviceCommand>echo plain</deviceCommand><executeLocation>/tmp"
                           "</executeLocation><sendStdout>" + xmlText(tainted()) +
                               "</sendStdout><sendStderr>" + xmlText(tainted()) +
                               "</sendStderr><needWritableFilesystem>" + xmlText(tainted()) +
                               "</needWritableFilesystem><lockoutUser>" + xmlText(tainted()) +
                               "</lockoutUser>");
    EXPECT_THAT(execute.out, HasSubstr("result: 0")) << execute.err;

    AgentRun configure = runCommand(
        "setConfiguration",
        "<hostName><assignment>entered</assignment><name>" + xmlText(tainted()) +
            "</name></hostName><locale>" + xmlText(tainted()) +
            "</locale><networkInterface><mac>00:40:63:C1:2A:01</mac><addressing>static"
            "</addressing><address>" + xmlText(tainted()) + "</address><dnsSuffix>" +
            xmlText(tainted()) + "</dnsSuffix></networkInterface><assetTag><name>" +
            xmlText(tainted()) + "</name><value>" + xmlText(tainted()) + "</value></assetTag>");
    EXPECT_THAT(configure.out, HasSubstr("command: setConfiguration")) << configure.err;

    // A section of the registry that is no interface of the device's: its
    // settings are read, no tool is run for it.
    std::string section = "Network-" + tainted();
    AgentRun mac = agent({"--device-root", device, "registry", "set", "/tmp/system.conf", section,
                          "mac", "00:40:63:C1:2A:09"});
    EXPECT_EQ(mac.exitCode, 0) << mac.err;
    AgentRun network = agent({"--device-root", device, "network", section});
    EXPECT_EQ(network.exitCode, 0) << network.err;

    EXPECT_THAT(shellLines(), Contains(HasSubstr("echo plain")));
    EXPECT_EQ(taintedLines(), 0);
}

}  // namespace
}  // namespace e2e
