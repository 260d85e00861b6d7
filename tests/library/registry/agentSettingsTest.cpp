// The agent's settings, the command and response kept across a reboot, the
// small accessors and the DNS domain, on a simulated device's registries.
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

class AgentSettingsTest : public support::SimDeviceTest {};

TEST_F(AgentSettingsTest, SettingsLiveInTheTemporaryRegistry) {
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

TEST_F(AgentSettingsTest, PendingCommandXmlIsWrittenPersistentlyAndReadTemporarily) {
    EXPECT_EQ(setPendingCommandXml("PendingCommandXml", "<command/>"), 0);
    EXPECT_EQ(registryValue("/home/root/system.conf", "IxoSettings", "PendingCommandXml"),
              "<command/>");
    char value[IXO_REGISTRY_BUFFER_SIZE] = "old";
    EXPECT_EQ(getPendingCommandXml("PendingCommandXml", value), 0);
    EXPECT_STREQ(value, "");
}

// A response of that text.
agent::CharBufferPtr response(const std::string &text) {
    agent::CharBufferPtr buffer(createCharBuffer());
    addDataToCharBuffer(buffer.get(), text.data(), static_cast<int>(text.size()));
    return buffer;
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

// What an earlier command left kept, as after "ixoAgent --reboot-after run".
void keepAnOlderCommandAndOutcome() {
    ASSERT_EQ(ixoSaveCommandForReboot(commandOfLength(300).get()), 0);
    ASSERT_EQ(ixoSaveResponseForReboot(response("<result>0</result>").get()), 0);
}

// Saves a command of the given length in a process that may write no file
// beyond limit bytes, as on a full disk.
int saveWithFileSizeLimit(off_t limit, size_t length) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit fileSize{};
    fileSize.rlim_cur = fileSize.rlim_max = static_cast<rlim_t>(limit);
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
        return 2;
    }
    return ixoSaveCommandForReboot(commandOfLength(length).get());
}

TEST_F(AgentSettingsTest, SaveTooLongToKeepLeavesNoOlderCommandOrOutcomeToTakeUp) {
    // 1001 characters with their line breaks, 990 without them.
    agent::CharBufferPtr tooLong = response(std::string(990, 'r') + std::string(11, '\n'));
    const std::function<int()> saves[] = {
        [] { return ixoSaveCommandForReboot(commandOfLength(1001).get()); },
        [&] { return ixoSaveResponseForReboot(tooLong.get()); },
    };
    for (const auto &save : saves) {
        keepAnOlderCommandAndOutcome();
        EXPECT_EQ(save(), -1);
        EXPECT_EQ(kept(ixoGetSavedCommand), "-1:<null>");
        EXPECT_EQ(kept(ixoGetSavedResponse), "-1:<null>");
    }
}

TEST_F(AgentSettingsTest, SaveOnAFullDiskFailsAndLeavesNoOlderCommandOrOutcome) {
    keepAnOlderCommandAndOutcome();
    struct stat registry {};
    ASSERT_EQ(stat(hostPath("/tmp/system.conf").c_str(), &registry), 0);
    // Room for the registry as it is, not for a longer command in it.
    EXPECT_EXIT(std::exit(saveWithFileSizeLimit(registry.st_size, 900) == -1 ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(kept(ixoGetSavedCommand), "-1:<null>");
    EXPECT_EQ(kept(ixoGetSavedResponse), "-1:<null>");
}

TEST_F(AgentSettingsTest, RegistryThatCannotBeWrittenFailsEverySaveAndSaysNothingWasCleared) {
    keepAnOlderCommandAndOutcome();
    support::removeTree(hostPath("/tmp/system.conf"));
    ASSERT_EQ(mkdir(hostPath("/tmp/system.conf").c_str(), 0755), 0);
    EXPECT_EQ(ixoSaveCommandForReboot(commandOfLength(300).get()), -1);
    EXPECT_EQ(ixoSaveResponseForReboot(response("<result>1</result>").get()), -1);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("[1] Error saving command: the registry cannot be written"));
    EXPECT_THAT(log, HasSubstr("[1] Error saving response: the registry cannot be written"));
    EXPECT_THAT(log, HasSubstr("[1] Error clearing the saved command and response after a "
                               "failed save: an older command or response may be taken up "
                               "after a reboot"));

    EXPECT_EQ(ixoSaveCommandForReboot(nullptr), -1);
    EXPECT_EQ(ixoSaveResponseForReboot(nullptr), -1);
    log = support::logText();
    for (const char *what : {"command", "response"}) {
        EXPECT_THAT(log, HasSubstr(std::string("[1] Error clearing the saved ") + what +
                                   ": the registry cannot be written"));
    }
    // The setting writer keeps its answer.
    EXPECT_EQ(setIxoSetting("Mode", "x"), 0);
}

TEST_F(AgentSettingsTest, LogSettingsAndTheOlderAgentsListenPort) {
    int enabled = -1;
    char fileName[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getLogSettings(&enabled, fileName), 0);
    EXPECT_EQ(enabled, 1);
    EXPECT_STREQ(fileName, "/var/log/ixoAgent.log");
    for (const char *flag : {"", "verbose"}) {
        setIxoSetting("logEnabled", flag);
        EXPECT_EQ(getLogSettings(&enabled, fileName), 0);
        EXPECT_EQ(enabled, 0) << flag;
    }

    char port[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getLegacyListenPort(port), 0);
    EXPECT_STREQ(port, "7070");
    support::removeTree(hostPath("/etc/addons.d/VORBIX"));
    EXPECT_EQ(getLegacyListenPort(port), -1);
}

TEST_F(AgentSettingsTest, DomainNameAndItsDots) {
    char domain[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getDomainName(domain), 0);
    EXPECT_STREQ(domain, "branch.example.test");
    // An empty or missing domain leaves the caller's text alone.
    std::string error;
    ASSERT_TRUE(agent::registrySet("/tmp/system.conf", "DNS", "domainname", "", &error)) << error;
    EXPECT_EQ(getDomainName(domain), -1);
    ASSERT_TRUE(agent::registryDeleteSection("/tmp/system.conf", "DNS", &error)) << error;
    EXPECT_EQ(getDomainName(domain), -1);
    EXPECT_STREQ(domain, "branch.example.test");

    const struct {
        const char *text;
        int dots;
    } cases[] = {{"branch.example.test", 2}, {"", 0}, {"nodots", 0}, {"...", 3}};
    for (const auto &c : cases) {
        EXPECT_EQ(findDotsInDomainString(c.text), c.dots) << c.text;
    }
}

}  // namespace
