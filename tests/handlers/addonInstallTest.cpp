// "installOnDevice" on the add-on road: download into /tmp, the device's
// installer with its outcome file, the desktop refresh chosen by the OS
// version, and the package left or removed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/handlers/addonTestSupport.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const char helloSource[] = "http://server/addons/HelloAddon.tar";
const char helloInstallLine[] =
    "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -p /tmp/ixoAddonPipe -l "
    "/tmp/HelloAddon.tar\"";
const char connectionManagerLine[] = "sudo su -c \"/sbin/conmgr.sh\"";
const char windowManagerLine[] = "sudo su -c \"/etc/rc.d/rc.qvwm\"";
const char qvwmNoteLine[] = "echo \"QVWM_RESTART\" >> /tmp/qvwm-\\:0.0";

// Writes the installer's outcome itself, byte for byte, instead of running it.
std::string outcomeBytes;
std::string outcomePath;
int outcomeWritingRunner(const char *line) {
    if (std::string(line).find("installer.sh") != std::string::npos) {
        support::writeFile(outcomePath, outcomeBytes);
        return 0;
    }
    return addontest::fileRecordingRunner(line);
}

class AddonInstallTest : public addontest::AddonTest {
protected:
    void SetUp() override {
        addontest::AddonTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        makePackage("HelloAddon.tar", {{"control", "name=HelloAddon\n"}, {"hello.sh", "echo hi\n"}});
    }

    commandtest::Outcome installHello(const char *lockout = "true") {
        return run("installOnDevice", {{"source", helloSource}, {"lockoutUser", lockout}});
    }
};

TEST_F(AddonInstallTest, PackageIsInstalledAndRemovedFromTmp) {
    commandtest::Outcome outcome = installHello();

    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_FALSE(outcome.hasResponse);
    EXPECT_THAT(addontest::downloads(),
                ElementsAre(std::make_pair(std::string(helloSource), std::string("/tmp/HelloAddon.tar"))));
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/HelloAddon/control")), "name=HelloAddon\n");
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/HelloAddon/hello.sh")), "echo hi\n");
    EXPECT_FALSE(support::exists(hostPath("/tmp/HelloAddon.tar")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/ixoAddonPipe")));
    EXPECT_THAT(lines(), ElementsAre(helloInstallLine, connectionManagerLine));
    EXPECT_THAT(programs(), Contains("lockdlg"));
    EXPECT_THAT(programs(), Contains("installer.sh -f -p /tmp/ixoAddonPipe -l /tmp/HelloAddon.tar"));
    EXPECT_EQ(userLockedOut(), 0);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("About to download 'http://server/addons/HelloAddon.tar' to "
                               "'/tmp/HelloAddon.tar'"));
    EXPECT_THAT(log, HasSubstr("Successfully installed 'HelloAddon.tar'"));
    EXPECT_THAT(log, Not(HasSubstr("User not currently locked out")));
}

TEST_F(AddonInstallTest, InstallerErrorKeepsThePackageAndReportsTheReason) {
    sim::setKnob(root, "installer.sh.outcome", "ERROR disk full");

    commandtest::Outcome outcome = installHello();

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    // The reason keeps the line's newline.
    EXPECT_EQ(outcome.message, "disk full\n");
    EXPECT_TRUE(support::exists(hostPath("/tmp/HelloAddon.tar")));
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/HelloAddon")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/ixoAddonPipe")));
    // No desktop refresh after a failed install.
    EXPECT_THAT(lines(), ElementsAre(helloInstallLine));
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_THAT(support::logText(), HasSubstr("Error installing 'HelloAddon.tar'"));
}

TEST_F(AddonInstallTest, MissingOutcomeFileIsASystemErrorWithoutMessage) {
    sim::setKnob(root, "installer.sh.nooutcome", "");

    commandtest::Outcome outcome = installHello();

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_TRUE(support::exists(hostPath("/tmp/HelloAddon.tar")));
    EXPECT_THAT(support::logText(), HasSubstr("pipe file not created"));
    EXPECT_EQ(userLockedOut(), 0);
}

TEST_F(AddonInstallTest, OutcomeFileReadExactly) {
    ixoSetCommandRunner(outcomeWritingRunner);
    outcomePath = hostPath("/tmp/ixoAddonPipe");
    struct Case {
        const char *bytes;
        int result;
        const char *message;  // nullptr: none
    };
    const Case cases[] = {
        {"error", -1, ""},                   // shorter than the word and its separator
        {"error\n", -1, ""},
        {"Error:x", -1, "x"},
        {"error disk full\nsecond line\n", -1, "disk full\n"},
        {"", -1, nullptr},                   // empty file
        {"ok\nerror later\n", 0, nullptr},
        {"OK\n", 0, nullptr},
        {"done\n", 0, nullptr},
        {"Errno 5\n", 0, nullptr},
    };
    for (const Case &c : cases) {
        outcomeBytes = c.bytes;
        commandtest::Outcome outcome = installHello("false");
        EXPECT_EQ(outcome.result, c.result) << c.bytes;
        if (c.message != nullptr) {
            EXPECT_EQ(outcome.message, c.message) << c.bytes;
        } else {
            EXPECT_FALSE(outcome.hasMessage) << c.bytes;
        }
        EXPECT_FALSE(support::exists(outcomePath)) << c.bytes;
        EXPECT_EQ(support::exists(hostPath("/tmp/HelloAddon.tar")), c.result != 0) << c.bytes;
    }
    EXPECT_THAT(support::logText(), HasSubstr("Error: pipe file empty"));
}

TEST_F(AddonInstallTest, DesktopRestartFollowsTheOsVersion) {
    struct Case {
        const char *version;
        bool windowManager;
    };
    const Case cases[] = {
        {"6.3.0", true}, {"6.3.0.7", true}, {"6.3", false}, {"6.4.0", false}, {"6.2.0", false},
        {"", false},
    };
    const std::string registry = support::readFile(hostPath("/tmp/system.conf"));
    for (const Case &c : cases) {
        support::writeFile(hostPath("/tmp/system.conf"), registry);
        setOsVersion(c.version);
        ::unlink(addontest::lineFile().c_str());
        ::unlink(hostPath("/tmp/qvwm-:0.0").c_str());

        ASSERT_EQ(installHello("false").result, 0) << c.version;

        if (c.windowManager) {
            EXPECT_THAT(lines(), ElementsAre(helloInstallLine, windowManagerLine, qvwmNoteLine))
                << c.version;
            EXPECT_EQ(support::readFile(hostPath("/tmp/qvwm-:0.0")), "QVWM_RESTART\n");
        } else {
            EXPECT_THAT(lines(), ElementsAre(helloInstallLine, connectionManagerLine)) << c.version;
            EXPECT_FALSE(support::exists(hostPath("/tmp/qvwm-:0.0")));
        }
    }
}

TEST_F(AddonInstallTest, UnreadableRegistryMeansTheConnectionManager) {
    // A key before the first section: the registry cannot be opened, so its
    // 6.3.0 is never seen.
    support::writeFile(hostPath("/tmp/system.conf"), "version=6.3.0\n[system]\nversion=6.3.0\n");

    EXPECT_EQ(installHello("false").result, 0);

    EXPECT_THAT(lines(), ElementsAre(helloInstallLine, connectionManagerLine));
    EXPECT_THAT(support::logText(), HasSubstr("Error opening /tmp/system.conf registry"));
}

TEST_F(AddonInstallTest, FailedDownloadRunsNothing) {
    commandtest::Outcome outcome =
        run("installOnDevice", {{"source", "http://server/addons/Absent.tar"}, {"lockoutUser", "true"}});

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "file_error");
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_THAT(lines(), IsEmpty());
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_THAT(support::logText(), Not(HasSubstr("User not currently locked out")));
}

TEST_F(AddonInstallTest, MissingSourceBeginsNothing) {
    commandtest::Outcome outcome = run("installOnDevice", {{"lockoutUser", "true"}});

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_THAT(addontest::downloads(), IsEmpty());
    EXPECT_THAT(programs(), IsEmpty());
}

TEST_F(AddonInstallTest, LowerCaseAgentNameIsAnOrdinaryAddon) {
    makePackage("ixo_agent.tar", {{"control", "lower\n"}});
    std::string oldLockDialog = support::readFile(hostPath("/etc/addons.d/IXO_AGENT/lockdlg"));

    commandtest::Outcome outcome =
        run("installOnDevice", {{"source", "http://server/ixo_agent.tar"}});

    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/ixo_agent/control")), "lower\n");
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/IXO_AGENT/lockdlg")), oldLockDialog);
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/TMP_IXO_AGENT")));
    EXPECT_THAT(lines(), Contains("sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -p "
                                  "/tmp/ixoAddonPipe -l /tmp/ixo_agent.tar\""));
}

TEST_F(AddonInstallTest, PackageNameWithShellCharactersIsOneArgument) {
    // Device command lines run in "/": what the shell must not run would
    // leave files there.
    const std::string fileName = "odd name;touch owned1;$(touch owned2)`touch owned3`'q\"\\.tar";
    makePackage(fileName, {{"control", "odd\n"}});

    commandtest::Outcome outcome =
        run("installOnDevice", {{"source", "http://server/x/" + fileName}});

    EXPECT_EQ(outcome.result, 0) << outcome.errorClass << " " << outcome.message;
    std::vector<std::vector<std::string>> runs = addontest::argumentLists(root, "installer.sh");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_THAT(runs[0], ElementsAre("-f", "-p", "/tmp/ixoAddonPipe", "-l", "/tmp/" + fileName));
    std::string addon = fileName.substr(0, fileName.size() - 4);
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/" + addon + "/control")), "odd\n");
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + fileName)));
    for (const char *owned : {"/owned1", "/owned2", "/owned3"}) {
        EXPECT_FALSE(support::exists(hostPath(owned))) << owned;
    }
}

TEST_F(AddonInstallTest, OverlongLineIsRefusedBeforeAnythingRuns) {
    // The add-on line is this long without the package name.
    const size_t fixed = std::string(helloInstallLine).size() - std::string("HelloAddon.tar").size();
    const std::string longest(8191 - fixed, 'a');
    const std::string tooLong(8192 - fixed, 'a');

    commandtest::Outcome refused =
        run("installOnDevice", {{"source", "http://server/" + tooLong}, {"lockoutUser", "true"}});
    EXPECT_EQ(refused.result, -1);
    EXPECT_EQ(refused.errorClass, "invalid_arguments");
    EXPECT_THAT(refused.message, HasSubstr("too long"));
    EXPECT_THAT(addontest::downloads(), IsEmpty());
    EXPECT_THAT(programs(), IsEmpty());

    // One character less fits: the download is tried (and fails: no such
    // package).
    commandtest::Outcome tried = run("installOnDevice", {{"source", "http://server/" + longest}});
    EXPECT_EQ(tried.errorClass, "file_error");
    EXPECT_EQ(addontest::downloads().size(), 1u);
}

}  // namespace
