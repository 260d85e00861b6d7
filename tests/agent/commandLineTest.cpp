// ixoAgent's command line as a new user meets it: --help everywhere, typing
// errors, wrong files, values that begin with "-", values that are not there,
// and the simulated devices sim-init builds.
#include <sys/stat.h>

#include <algorithm>

#include "sim/nicModels.h"
#include "tests/agent/agentFixture.h"

using ::testing::MatchesRegex;

namespace e2e {
namespace {

TEST_F(AgentEndToEnd, EveryCommandAnswersHelpAndDoesNothingElse) {
    // Those that would change something or build a device; every command's
    // help text itself is the manual page check's.
    const std::vector<Words> commands = {{}, {"sim-init"}, {"run"}, {"settings", "set"},
                                         {"network"}, {"eeprom", "set-cmos"}};
    bool shortFlag = false;
    for (Words words : commands) {
        std::string name = words.empty() ? "ixoAgent" : "ixoAgent " + joined(words);
        words.push_back((shortFlag = !shortFlag) ? "-h" : "--help");
        AgentRun run = agent(words);
        EXPECT_EQ(run.exitCode, 0) << joined(words) << ": " << run.err;
        EXPECT_THAT(run.out, StartsWith("usage: " + name + " [OPTIONS]")) << joined(words);
        EXPECT_THAT(run.err, IsEmpty()) << joined(words);
    }
    // sim-init built no device called "--help", network looked for no
    // interface on a per-user device built for it.
    EXPECT_FALSE(support::exists("--help"));
    EXPECT_FALSE(support::exists("-h"));
    EXPECT_FALSE(support::exists(work + "/home"));
}

TEST_F(AgentEndToEnd, VersionNamesTheAgentAndTheLibraryItLoads) {
    AgentRun run = agent({"--version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, MatchesRegex("ixoAgent [0-9]+\\.[0-9]+\\.[0-9]+\n"
                                      "libIxoPlatformOs [0-9]+\\.[0-9]+\\.[0-9]+ \\(/.*/"
                                      "libIxoPlatformOs\\.so\\.1\\)\n"));
    AgentRun missing = agent({"--version", "--library", work + "/missing.so"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.err, HasSubstr("cannot load " + work + "/missing.so"));
}

TEST_F(AgentEndToEnd, WrongCommandLinesAreRefusedBeforeAnythingHappens) {
    std::string fifo = work + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string other = work + "/other";
    struct Case {
        Words words;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"commands", "--device-root", device, "--bogus"}, "--bogus"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"explode"}, "explode"},
        {{}, "no command given"},
        {{"--log-level", "loud", "commands"}, "--log-level"},
        {{"registry", "get", "/tmp/system.conf", "IxoSettings"}, "KEY is required"},
        {{"settings"}, "(see 'ixoAgent settings --help')"},
        {{"inventory", "--xml", "all"}, "(see 'ixoAgent inventory --help')"},
        {{"inventory", "--json", "--xml"}, "--xml"},
        {{"eeprom", "set-key", "zz"}, "not 'zz'"},
        {{"eeprom", "set-cmos", work}, work + ": is a directory"},
        {{"eeprom", "set-cmos", fifo}, fifo + ": is not a regular file"},
        {{"eeprom", "set-cmos", work + "/absent"}, work + "/absent: cannot open"},
        {{"--download-password-file", work, "commands"}, work + ": is a directory"},
        {{"sim-init", "--nic", "e1000", other}, "--nic: e1000 not in {rhine,velocity,realtek,jmicron}"},
        {{"sim-init", other, "--nic"}, "see 'ixoAgent sim-init --help'"},
        {{"sim-init", "--nic", "rhine", "--nic", "velocity", other}, "--nic"},
        {{"sim-init", "--platform", "Quasar", other}, "--platform: Quasar not in {Zinth,"},
        {{"--real-device", "--device-root", device, "commands"}, "exclude each other"},
        {{"--device-root", work, "commands"}, "is no simulated device"},
        {{"--library", work + "/missing.so", "commands"}, "cannot load"},
    };
    for (const Case &one : cases) {
        AgentRun run = agent(one.words);
        EXPECT_EQ(run.exitCode, 2) << joined(one.words);
        EXPECT_THAT(run.err, StartsWith("ixoAgent: ")) << joined(one.words);
        EXPECT_THAT(run.err, HasSubstr(one.reason)) << joined(one.words);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_THAT(run.out, IsEmpty()) << joined(one.words);
    }
    EXPECT_FALSE(support::exists(device));
    EXPECT_FALSE(support::exists(other));
    EXPECT_FALSE(support::exists(work + "/home")) << "the per-user device was built";
}

// Options stand anywhere (here after the command and its values), and "--"
// ends them. The device's change hook runs inside it and gets the registry's
// path as one argument.
TEST_F(AgentEndToEnd, SettingsAndRegistryValuesAreReadAndWritten) {
    initDevice();
    ASSERT_EQ(::mkdir((device + "/etc/registry.d").c_str(), 0755), 0);
    support::writeFile(device + "/etc/registry.d/changed",
                       "#!/bin/sh\necho \"changed $1\" >> /var/log/registry-hook.log\n");
    ASSERT_EQ(::chmod((device + "/etc/registry.d/changed").c_str(), 0755), 0);
    std::string hooked = "/tmp/" + e2e::tainted() + ".conf";
    std::string before = support::readFile(device + "/home/root/system.conf");
    struct Case {
        Words words;
        int exitCode;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"settings", "set", "Mode", "--", "-fast lane"}, 0, "", ""},
        {{"settings", "set", "Mode", std::string(1001, 'x')}, 1, "", "was not stored"},
        {{"settings", "get", "Mode"}, 0, "-fast lane\n", ""},
        {{"settings", "get", "PendingResponse"}, 0, "\n", ""},
        {{"settings", "get", "Nope"}, 1, "", "/tmp/system.conf: no such key 'Nope'"},
        {{"settings", "lum", "ServerPort"}, 0, "9080\n", ""},
        {{"settings", "lum", "Nope"}, 1, "", "no such key 'Nope' in section [lumsettings]"},
        {{"registry", "get", "/tmp/system.conf", "IxoSettings", "PendingResponse"}, 0, "\n", ""},
        {{"registry", "get", "/tmp/system.conf", "Nope", "x"}, 1, "", "no such section [Nope]"},
        {{"registry", "get", "/no/such/dir/r.conf", "A", "b"}, 1, "", "cannot open registry"},
        {{"registry", "set", "--", "/home/root/system.conf", "Terminal", "name", "-TC"}, 0, "", ""},
        {{"registry", "get", "/home/root/system.conf", "Terminal", "name"}, 0, "-TC\n", ""},
        {{"registry", "set", "/etc/none.ini", "A", "b", "c"}, 1, "", "no such file (--create"},
        {{"registry", "get", "/etc/none.ini", "A", "b"}, 1, "", "/etc/none.ini: no such file"},
        {{"registry", "set", "--create", "/etc/none.ini", "A", "b", "c"}, 0, "", ""},
        {{"registry", "get", "/etc/none.ini", "A", "b"}, 0, "c\n", ""},
        {{"registry", "set", "--create", hooked, "DNS", "domainname", "x"}, 0, "", ""},
    };
    for (const Case &one : cases) {
        Words words = one.words;
        words.insert(std::find(words.begin(), words.end(), "--"), {"--device-root", device});
        AgentRun run = agent(words);
        EXPECT_EQ(run.exitCode, one.exitCode) << joined(one.words) << ": " << run.err;
        EXPECT_EQ(run.out, one.out) << joined(one.words);
        EXPECT_THAT(run.err, HasSubstr(one.err)) << joined(one.words);
    }
    EXPECT_THAT(support::readFile(device + "/tmp/system.conf"), HasSubstr("\nMode=-fast lane\n"));
    // Only the line set changed.
    std::string after = support::readFile(device + "/home/root/system.conf");
    EXPECT_EQ(after.size(), before.size() + std::string("-TC").size() -
                                std::string("TC-SIM-0001").size());
    EXPECT_THAT(support::readFile(device + "/var/log/registry-hook.log"),
                HasSubstr("changed " + hooked + "\n"));
}

TEST_F(AgentEndToEnd, TestModeUsesTheCopiesBesideTheExecutableOrFails) {
    initDevice();
    AgentRun run = onDevice({"--test-mode", "registry", "get", "/tmp/system.conf", "Terminal",
                             "name"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "TC-TEST-0001\n");
    EXPECT_TRUE(support::exists(work + "/home/.v6_test_dir/dummy.control"));

    // No copy can be made under a HOME that lies below a file.
    support::writeFile(work + "/file", "");
    environment = {{"HOME", work + "/file/home"}};
    AgentRun failed = onDevice({"--test-mode", "settings", "get", "logEnabled"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_THAT(failed.err, HasSubstr("--test-mode: the library did not copy"));
    EXPECT_THAT(failed.out, IsEmpty());
}

TEST_F(AgentEndToEnd, SimInitOnAFullDiskLeavesNoDevice) {
    fileSizeLimit = 512 * 1024;  // less than busybox
    AgentRun init = agent({"sim-init", device});
    EXPECT_EQ(init.exitCode, 2);
    EXPECT_THAT(init.err, HasSubstr("cannot build a simulated device in " + device));
    EXPECT_FALSE(support::exists(device));
    // Nothing of the failed build is left beside it either.
    for (const auto &entry : std::filesystem::directory_iterator(work)) {
        EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr("device"))) << entry.path();
    }
}

TEST_F(AgentEndToEnd, DeviceWhoseShellCannotStartRunsNoCommand) {
    initDevice();
    support::writeFile(device + "/var/log/old-agent.log", "x");
    ASSERT_EQ(unlink((device + "/bin/sh").c_str()), 0);
    AgentRun run = onDevice({"run", sample("deleteFile.xml")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("the shell of the simulated device in " + device +
                                   " does not start"));
    EXPECT_THAT(run.out, Not(HasSubstr("result:")));
    EXPECT_TRUE(support::exists(device + "/var/log/old-agent.log"));
}

TEST_F(AgentEndToEnd, DefaultDeviceIsBuiltOnFirstUseInTheUsersCache) {
    AgentRun list = agent({"commands"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("deleteFile\n"));
    EXPECT_TRUE(sim::isDevice(work + "/home/.cache/ixoAgent/device"));
}

TEST_F(AgentEndToEnd, SimInitBuildsTheControllerAndPlatformAskedForAndARefreshKeepsThem) {
    initDevice({"--nic", "velocity", "--platform", "Tavorin"});
    std::vector<uint8_t> image = sim::nicEeprom(device);
    ASSERT_EQ(image.size(), 128u);
    image[44] ^= 0xFF;
    std::string error;
    ASSERT_TRUE(sim::setNicEeprom(device, image, &error)) << error;
    ASSERT_EQ(onDevice({"sim-init"}).exitCode, 0);
    EXPECT_EQ(sim::nicFamily(device), "velocity");
    EXPECT_EQ(sim::platformOf(device), "Tavorin");
    EXPECT_EQ(sim::nicEeprom(device), image);
}

}  // namespace
}  // namespace e2e
