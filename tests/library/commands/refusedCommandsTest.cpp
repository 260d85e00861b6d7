// Commands refused before anything happens: a parameter missing or
// malformed, a line too long for the device's shell, or a lockout that cannot
// begin. No line runs.
#include <cstring>

#include "tests/library/commands/addonTestSupport.h"

using namespace commandtest;
using ::testing::Contains;
using ::testing::SizeIs;

namespace {

using RefusedCommandsTest = HandlerTest;

std::string element(const std::string &name, const std::string &value) {
    return "<" + name + ">" + value + "</" + name + ">";
}

std::string pair(const std::string &key, const std::string &value) {
    return "<pair>" + element("key", key) + element("value", value) + "</pair>";
}

const std::string lockout = element("lockoutUser", "true");
const std::string execute = element("deviceCommand", "touch /tmp/ran") +
                            element("sendStdout", "true") + element("sendStderr", "true") +
                            element("needWritableFilesystem", "true") +
                            element("executeLocation", "/tmp");

TEST_F(RefusedCommandsTest, MissingOrMalformedParameters) {
    auto without = [&](const std::string &name) {
        size_t begin = execute.find("<" + name + ">");
        size_t end = execute.find("</" + name + ">") + name.size() + 3;
        return execute.substr(0, begin) + execute.substr(end);
    };
    const Outcome invalid(-1, "invalid_arguments");
    const Outcome download(-1, "invalid_arguments", "Invalid Arguments");
    const struct {
        const char *command;
        std::string parameters;
        Outcome outcome;
        const char *logged;  // the only reason when the outcome has no message
    } cases[] = {
        {"deleteFile", lockout + element("path", "/etc"), Outcome(-1), "file"},
        {"deleteDirectory", lockout + element("path", "/etc"), Outcome(-1), "directory"},
        {"executeOnDevice", lockout + without("deviceCommand"), invalid, "deviceCommand"},
        {"executeOnDevice", lockout + without("sendStdout"), invalid, "sendStdout"},
        {"executeOnDevice", lockout + without("sendStderr"), invalid, "sendStderr"},
        {"executeOnDevice", lockout + without("needWritableFilesystem"), invalid,
         "needWritableFilesystem"},
        {"executeOnDevice", lockout + without("executeLocation"), invalid, "executeLocation"},
        {"installOnDevice", lockout, invalid, "source"},
        {"uninstall", lockout + element("name", "IXO_AGENT"), invalid, nullptr},
        {"downloadFileFromServer", lockout + element("source", "p"), download, nullptr},
        {"downloadFileFromServer", lockout + element("destination", "/etc/a"), download, nullptr},
        {"queryUser", element("delaySet", pair("a", "1")),
         Outcome(-1, "invalid_arguments", "No timeout specified"), nullptr},
        {"queryUser", element("timeout", "5"),
         Outcome(-1, "invalid_arguments", "Must have a delaySet specified"), nullptr},
        {"queryUser", element("timeout", "5") + element("delaySet", ""),
         Outcome(-1, "invalid_arguments", "Must have at least one pair defined"), nullptr},
        {"queryUser", element("timeout", "5") + element("delaySet", pair("a", "1") + "<note/>"),
         Outcome(-1, "invalid_arguments", "No key defined in pair"), nullptr},
        {"queryUser", element("timeout", "5") + element("delaySet", "<pair><key>a</key></pair>"),
         Outcome(-1, "invalid_arguments", "No value defined in pair"), nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.parameters);
        support::clearLog();
        EXPECT_EQ(runXml(c.command, c.parameters), c.outcome);
        if (c.logged != nullptr) {
            EXPECT_THAT(support::logText(),
                        HasSubstr("[1] Missing parameter '" + std::string(c.logged) + "'"));
        }
        EXPECT_THAT(sim::recordedLines(), IsEmpty());
        EXPECT_THAT(sim::programLog(root), IsEmpty());
        EXPECT_EQ(userLockedOut(), 0);
        EXPECT_TRUE(exists("/etc/addons.d/IXO_AGENT/lockdlg"));
    }
    EXPECT_FALSE(exists("/tmp/ran"));
    EXPECT_FALSE(exists("/etc/a"));
}

// A lockout already up cannot be begun again, and is not the command's to end.
TEST_F(RefusedCommandsTest, LockoutThatCannotBeginStopsEveryCommandThatAsksForIt) {
    write("/etc/keep.conf");
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    const std::pair<const char *, std::string> cases[] = {
        {"deleteFile", element("file", "/etc/keep.conf")},
        {"deleteDirectory", element("directory", "/etc/addons.d")},
        {"executeOnDevice", execute},
        {"installOnDevice", element("source", "http://server/addons/Hello.tar")},
        {"uninstall", element("applicationName", "IXO_AGENT")},
        {"downloadFileFromServer", element("source", "p") + element("destination", "/etc/a")},
        {"setConfiguration", element("reboot", "now")},
    };
    const std::string registry = read("/home/root/system.conf");
    for (const auto &[command, parameters] : cases) {
        SCOPED_TRACE(command);
        EXPECT_EQ(runXml(command, lockout + parameters),
                  Outcome(-1, "error", "Unable to initiate User lockout screen"));
        EXPECT_THAT(sim::recordedLines(), IsEmpty());
        EXPECT_EQ(userLockedOut(), 1);
    }
    EXPECT_TRUE(exists("/etc/keep.conf"));
    EXPECT_TRUE(exists("/etc/addons.d/IXO_AGENT/lockdlg"));
    EXPECT_EQ(read("/home/root/system.conf"), registry);
}

using OverlongLineTest = addontest::AddonTest;

// The device's shell takes lines of at most 8191 characters: one more is
// refused, never cut; the longest that fits is tried whole.
TEST_F(OverlongLineTest, IsRefusedNotCut) {
    installAddon("First");
    // The parameters around the variable text, and the line without it.
    const struct {
        const char *command, *before, *after, *line;
    } cases[] = {
        {"installOnDevice", "<lockoutUser>true</lockoutUser><source>http://s/", "</source>",
         "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -p /tmp/ixoAddonPipe -l "
         "/tmp/\""},
        {"uninstall", "<applicationName>First</applicationName><applicationName>",
         "</applicationName><lockoutUser>true</lockoutUser>",
         "sudo su -c \"/sbin/installer/deinstall.sh -p /tmp/ixoAddonPipe \""},
        {"queryUser", "<timeout>5</timeout><delaySet><pair><key>", "</key><value>1</value></pair></delaySet>",
         "/etc/addons.d/IXO_AGENT/queryUser 5 \"\" 1 > /dev/null 2>&1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        clearLines();
        addontest::downloads.clear();
        const size_t room = 8191 - std::strlen(c.line);
        Outcome refused = runXml(c.command, c.before + std::string(room + 1, 'n') + c.after);
        EXPECT_EQ(refused.result, -1);
        EXPECT_EQ(refused.errorClass, "invalid_arguments");
        EXPECT_THAT(refused.message.value_or(""), HasSubstr("too long"));
        EXPECT_THAT(addontest::downloads, IsEmpty());
        EXPECT_THAT(lines(), IsEmpty());
        EXPECT_TRUE(exists("/etc/addons.d/First/control"));

        Outcome fits = runXml(c.command, c.before + std::string(room, 'n') + c.after);
        EXPECT_NE(fits.errorClass, "invalid_arguments");
        // The package is not on the server, so the installer never runs.
        if (std::string(c.command) == "installOnDevice") {
            EXPECT_EQ(addontest::downloads.size(), 1u);
        } else {
            EXPECT_THAT(lines(), Contains(SizeIs(8191)));
        }
        if (!exists("/etc/addons.d/First")) {
            installAddon("First");
        }
    }
}

}  // namespace
