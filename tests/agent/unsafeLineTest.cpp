// Outside text against the device's shell, end to end: tainted command
// parameters and registry sections that no command line carries go through
// ixoAgent; no line it runs may hold them. The server's own command line and
// location of "executeOnDevice" and the interfaces' change commands run as
// given by design: they carry plain text here.

#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

using support::xmlText;

TEST_F(AgentEndToEnd, ParametersOutsideTheCommandLinesNeverReachAShell) {
    initDevice();
    auto runCommand = [this](const std::string &name, const std::string &parameters) {
        return onDevice({"run", commandFile(name, parameters)});
    };
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
    EXPECT_THAT(shellLines(), ::testing::Each(Not(HasSubstr(e2e::kTaintBegin))));
}

}  // namespace
}  // namespace e2e
