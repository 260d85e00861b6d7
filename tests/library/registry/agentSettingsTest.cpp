// The registry layer over the agent's primitives (the shared temporary
// registry handle, the caller's buffer guard), the agent's settings, the
// command and response kept across a reboot, the small accessors and the DNS
// domain, on a simulated device's registries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "host/registry/registry.h"
#include "ixo/registry.h"
#include "ixo/serversearch.h"
#include "tests/support/commandTestSupport.h"
#include "tests/support/platformTestSupport.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;

namespace {

using platformtest::registryValue;

// "RESULT:TEXT" of a getter of what is kept across a reboot.
std::string kept(int (*getter)(char **)) {
    char *text = nullptr;
    int result = getter(&text);
    std::string copy = text != nullptr ? text : "<null>";
    std::free(text);
    return std::to_string(result) + ":" + copy;
}

// A command whose XML text is exactly the given length.
agent::CommandPtr commandOfLength(size_t length) {
    agent::CommandPtr probe = commandtest::makeCommand("deleteFile", {{"file", ""}});
    agent::CharBufferPtr xml(getCharBufferFromCommandStruct(probe.get()));
    size_t base = static_cast<size_t>(getTotalBufferLength(xml.get()));
    return commandtest::makeCommand("deleteFile", {{"file", std::string(length - base, 'p')}});
}

// A response of that text.
agent::CharBufferPtr response(const std::string &text) {
    agent::CharBufferPtr buffer(createCharBuffer());
    addDataToCharBuffer(buffer.get(), text.data(), static_cast<int>(text.size()));
    return buffer;
}

// What an earlier command left kept, as after "ixoAgent --reboot-after run".
void keepAnOlderCommandAndOutcome() {
    ASSERT_EQ(ixoSaveCommandForReboot(commandOfLength(300).get()), 0);
    ASSERT_EQ(ixoSaveResponseForReboot(response("<result>0</result>").get()), 0);
}

// Saves a longer command in a process that may write no file beyond the
// registry's present size, as on a full disk.
int saveWithNoRoomToGrow(const std::string &registry) {
    struct stat info {};
    rlimit fileSize{};
    if (stat(registry.c_str(), &info) != 0 || signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
        return 2;
    }
    fileSize.rlim_cur = fileSize.rlim_max = static_cast<rlim_t>(info.st_size);
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
        return 2;
    }
    return ixoSaveCommandForReboot(commandOfLength(900).get());
}

class AgentSettingsTest : public support::SimDeviceTest {};

TEST_F(AgentSettingsTest, SettingsLiveInTheTemporaryRegistryAndThePendingCommandInThePersistentOne) {
    char value[IXO_REGISTRY_BUFFER_SIZE];
    EXPECT_EQ(setIxoSetting("Mode", "fast lane"), 0);
    EXPECT_EQ(registryValue("/tmp/system.conf", "IxoSettings", "Mode"), "fast lane");
    EXPECT_EQ(getIxoSetting("Mode", value), 0);
    EXPECT_STREQ(value, "fast lane");
    EXPECT_EQ(getIxoSetting("Unset", value), 0);
    EXPECT_STREQ(value, "");
    // A value the store refuses is reported by nobody but the log.
    EXPECT_EQ(setIxoSetting("Mode", "two\nlines"), 0);
    EXPECT_EQ(registryValue("/tmp/system.conf", "IxoSettings", "Mode"), "fast lane");

    // Written persistently, read from the temporary registry.
    EXPECT_EQ(setPendingCommandXml("PendingCommandXml", "<command/>"), 0);
    EXPECT_EQ(registryValue("/home/root/system.conf", "IxoSettings", "PendingCommandXml"),
              "<command/>");
    std::strcpy(value, "old");
    EXPECT_EQ(getPendingCommandXml("PendingCommandXml", value), 0);
    EXPECT_STREQ(value, "");
}

TEST_F(AgentSettingsTest, UnreadableRegistryFailsTheRead) {
    support::writeFile(hostPath("/tmp/system.conf"), "garbage\n");
    char value[IXO_REGISTRY_BUFFER_SIZE] = "old";
    EXPECT_EQ(getIxoSetting("Mode", value), -1);
    EXPECT_EQ(getLumSetting("Mode", value), -1);
    EXPECT_EQ(kept(ixoGetSavedCommand), "-1:<null>");
    std::strcpy(value, "kept");
    EXPECT_EQ(getDomainName(value), -1);
    EXPECT_STREQ(value, "kept");
}

TEST_F(AgentSettingsTest, CommandAndResponseAreKeptOnOneLineUntilCleared) {
    agent::CommandPtr fits = commandOfLength(1000);
    ASSERT_EQ(ixoSaveCommandForReboot(fits.get()), 0);
    std::string saved = kept(ixoGetSavedCommand);
    ASSERT_EQ(saved.substr(0, 2), "0:");
    EXPECT_EQ(saved.find('\n'), std::string::npos);
    std::string error;
    agent::CommandPtr again = agent::parseCommand(saved.substr(2), "saved", &error);
    ASSERT_TRUE(again) << error;
    EXPECT_STREQ(getSubNodeContentByName(again->parameters, "file"),
                 getSubNodeContentByName(fits->parameters, "file"));

    EXPECT_EQ(ixoSaveResponseForReboot(response("<seconds>\n300\n</seconds>\r\n").get()), 0);
    EXPECT_EQ(kept(ixoGetSavedResponse), "0:<seconds>300</seconds>");

    EXPECT_EQ(ixoSaveCommandForReboot(nullptr), 0);
    EXPECT_EQ(kept(ixoGetSavedCommand), "-1:<null>");
    EXPECT_EQ(ixoSaveResponseForReboot(nullptr), 0);
    EXPECT_EQ(kept(ixoGetSavedResponse), "-1:<null>");
}

TEST_F(AgentSettingsTest, SaveTooLongOrOnAFullDiskFailsAndLeavesNoOlderCommandOrOutcome) {
    // 1001 characters with their line breaks, 990 without them.
    agent::CharBufferPtr tooLong = response(std::string(990, 'r') + std::string(11, '\n'));
    const std::string registry = hostPath("/tmp/system.conf");
    const std::function<void()> saves[] = {
        [] { EXPECT_EQ(ixoSaveCommandForReboot(commandOfLength(1001).get()), -1); },
        [&] { EXPECT_EQ(ixoSaveResponseForReboot(tooLong.get()), -1); },
        [&] {
            EXPECT_EXIT(std::exit(saveWithNoRoomToGrow(registry) == -1 ? 0 : 1),
                        ::testing::ExitedWithCode(0), "");
        },
    };
    for (const auto &save : saves) {
        keepAnOlderCommandAndOutcome();
        save();
        EXPECT_EQ(kept(ixoGetSavedCommand), "-1:<null>");
        EXPECT_EQ(kept(ixoGetSavedResponse), "-1:<null>");
    }
}

TEST_F(AgentSettingsTest, RegistryThatCannotBeWrittenFailsEverySaveAndSaysNothingWasCleared) {
    keepAnOlderCommandAndOutcome();
    support::removeTree(hostPath("/tmp/system.conf"));
    ASSERT_EQ(mkdir(hostPath("/tmp/system.conf").c_str(), 0755), 0);
    EXPECT_EQ(ixoSaveCommandForReboot(commandOfLength(300).get()), -1);
    EXPECT_EQ(ixoSaveResponseForReboot(response("<result>1</result>").get()), -1);
    EXPECT_EQ(ixoSaveCommandForReboot(nullptr), -1);
    EXPECT_EQ(ixoSaveResponseForReboot(nullptr), -1);
    EXPECT_THAT(support::logText(), HasSubstr("Error clearing the saved command and response after "
                                              "a failed save"));
    // The setting writer keeps its answer.
    EXPECT_EQ(setIxoSetting("Mode", "x"), 0);
}

TEST_F(AgentSettingsTest, LogSettingsListenPortAndDomain) {
    int enabled = -1;
    char text[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getLogSettings(&enabled, text), 0);
    EXPECT_EQ(enabled, 1);
    EXPECT_STREQ(text, "/var/log/ixoAgent.log");
    setIxoSetting("logEnabled", "verbose");
    EXPECT_EQ(getLogSettings(&enabled, text), 0);
    EXPECT_EQ(enabled, 0);

    EXPECT_EQ(getLegacyListenPort(text), 0);
    EXPECT_STREQ(text, "7070");
    support::removeTree(hostPath("/etc/addons.d/VORBIX"));
    EXPECT_EQ(getLegacyListenPort(text), -1);

    EXPECT_EQ(getDomainName(text), 0);
    EXPECT_STREQ(text, "branch.example.test");
    // An empty or missing domain leaves the caller's text alone.
    std::string error;
    ASSERT_TRUE(agent::registrySet("/tmp/system.conf", "DNS", "domainname", "", &error)) << error;
    EXPECT_EQ(getDomainName(text), -1);
    ASSERT_TRUE(agent::registryDeleteSection("/tmp/system.conf", "DNS", &error)) << error;
    EXPECT_EQ(getDomainName(text), -1);
    EXPECT_STREQ(text, "branch.example.test");
    for (const auto &[domain, dots] : {std::pair<const char *, int>{"branch.example.test", 2},
                                       {"", 0}, {"nodots", 0}, {"...", 3}}) {
        EXPECT_EQ(findDotsInDomainString(domain), dots) << domain;
    }
}

// The hooks this platform answers with constants: the write filter is never
// switched on the agent's word, and there is no certificate to point to.
TEST_F(AgentSettingsTest, ConstantHooksAnswerWithoutTouchingTheDevice) {
    std::string registries = support::readFile(hostPath("/tmp/system.conf")) +
                             support::readFile(hostPath("/home/root/system.conf"));
    int state = -1;
    char path[IXO_REGISTRY_BUFFER_SIZE] = "untouched";
    EXPECT_EQ(getWriteFilterStateFromIxo(nullptr, &state), 0);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(setWriteFilterStateFromIxo(nullptr, 0), 0);
    EXPECT_EQ(setAgentVersion("9.9"), 0);
    EXPECT_EQ(GetCertificatePath(path), -1);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(support::readFile(hostPath("/tmp/system.conf")) +
                  support::readFile(hostPath("/home/root/system.conf")),
              registries);
}

class RegistryLayerTest : public support::SimDeviceTest {};

TEST_F(RegistryLayerTest, TemporaryRegistryHasOneSharedHandleThatAFailedOpenDoesNotKeep) {
    std::string registry = hostPath("/tmp/system.conf");
    std::string good = support::readFile(registry);
    support::writeFile(registry, "not a registry line\n");
    EXPECT_EQ(p_openReg("/tmp/system.conf"), 0);
    support::writeFile(registry, good);
    int first = p_openReg("/tmp/system.conf");
    ASSERT_NE(first, 0);
    EXPECT_EQ(p_openReg("/tmp/system.conf"), first);

    // Other registries open afresh and leave the shared handle alone.
    int home = p_openReg("/home/root/system.conf");
    int again = p_openReg("/home/root/system.conf");
    EXPECT_NE(home, 0);
    EXPECT_NE(again, home);
    EXPECT_EQ(p_CloseNoAction(home), 0);
    EXPECT_EQ(p_CloseNoAction(again), 0);
    EXPECT_EQ(p_openReg("/tmp/system.conf"), first);

    // Any close of it ends it for everyone: the next open is a new one.
    for (int (*close)(int) : {p_regClose, p_CloseAction, p_CloseNoAction}) {
        int handle = p_openReg("/tmp/system.conf");
        EXPECT_EQ(close(handle), 0);
        int next = p_openReg("/tmp/system.conf");
        EXPECT_NE(next, 0);
        EXPECT_NE(next, handle);
    }
    p_CloseNoAction(p_openReg("/tmp/system.conf"));
}

// Calls pass on to the agent's primitives. The caller's buffer must hold
// IXO_REGISTRY_MAX_VALUE bytes, and a value and its NUL must fit it: a
// 1000-character value does not fit 1000 bytes.
TEST_F(RegistryLayerTest, CallsPassOnAndAValueNeverOverrunsTheCallersBuffer) {
    int handle = p_openReg("/home/root/system.conf");
    const std::string longest(1000, 'v');
    ASSERT_EQ(p_regSet(handle, "Terminal", "long", longest.c_str()), 0);
    const struct {
        int handle;
        const char *key;
        int size, result;
        std::string value;
    } cases[] = {
        {handle, "name", 999, -1, ""},           {handle, "name", 1000, 0, "TC-SIM-0001"},
        {handle, "long", 1000, -1, ""},          {handle, "long", 1001, 0, longest},
        {handle, "absent", 1000, 0, "fallback"}, {0, "name", 1000, -1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.size));
        char value[1100];
        std::memset(value, 0x7f, sizeof value);
        EXPECT_EQ(p_regGet(c.handle, value, "Terminal", c.key, "fallback", c.size), c.result);
        EXPECT_EQ(std::string(value), c.value);
        for (size_t at = c.size; at < sizeof value; ++at) {
            ASSERT_EQ(value[at], 0x7f) << at;
        }
    }
    char value[IXO_REGISTRY_BUFFER_SIZE];
    EXPECT_EQ(p_regDel(handle, "Terminal"), 0);
    EXPECT_EQ(p_regGet(handle, value, "Terminal", "name", "gone", sizeof value), 0);
    EXPECT_STREQ(value, "gone");
    p_CloseNoAction(handle);
    for (int result : {p_regSet(0, "DNS", "domainname", "x"), p_regDel(0, "DNS"), p_regClose(0)}) {
        EXPECT_NE(result, 0);
    }
}

}  // namespace
