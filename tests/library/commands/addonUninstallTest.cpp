// "uninstallFromDevice" and "uninstall": the deinstaller once per named
// add-on, in order, stopping at the first failure.
#include "tests/library/commands/addonTestSupport.h"

using namespace commandtest;
using namespace addontest;
using ::testing::_;

namespace {

std::string removeLine(const std::string &name) {
    return "sudo su -c \"/sbin/installer/deinstall.sh -p /tmp/ixoAddonPipe " + name + "\"";
}

class AddonUninstallTest : public AddonTest {
protected:
    void SetUp() override {
        AddonTest::SetUp();
        installAddon("First");
        installAddon("Third");
    }
};

// A name the deinstaller would take for an option is refused before any
// removal; an entry without text, or a failing deinstall, stops the walk.
TEST_F(AddonUninstallTest, BadOrFailingSecondOfThreeStopsTheWalk) {
    const Lines firstGone = {removeLine("First"), connectionManagerLine};
    const struct {
        const char *second;
        Outcome outcome;
        Lines lines;
    } cases[] = {
        {"<applicationName>Second</applicationName>", {-1, "system_error", "Second is not installed\n"},
         {removeLine("First"), connectionManagerLine, removeLine("Second")}},
        {"<applicationName><nested>x</nested></applicationName>", {-1, "invalid_arguments"}, firstGone},
        {"<applicationName></applicationName>", {-1, "invalid_arguments"}, firstGone},
        {"<applicationName>-p</applicationName>", {-1, "invalid_arguments"}, {}},
        {"<applicationName>/etc/addons.d/-rf/</applicationName>", {-1, "invalid_arguments"}, {}},
        {"<applicationName>--help</applicationName>", {-1, "invalid_arguments"}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.second);
        clearLines();
        Outcome outcome = runXml("uninstall", "<applicationName>First</applicationName>" +
                                                  std::string(c.second) +
                                                  "<applicationName>Third</applicationName>"
                                                  "<lockoutUser>true</lockoutUser>");
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.errorClass, c.outcome.errorClass);
        if (c.outcome.message) {
            EXPECT_EQ(outcome.message, c.outcome.message);
        }
        EXPECT_EQ(exists("/etc/addons.d/First/control"), c.lines.empty());
        EXPECT_TRUE(exists("/etc/addons.d/Third/control"));
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(userLockedOut(), 0);
        if (!exists("/etc/addons.d/First")) {
            installAddon("First");
        }
    }
}

TEST_F(AddonUninstallTest, EveryNamedAddonGoesWholeAndOtherParametersArePassedOver) {
    // Device command lines run in "/": what the shell must not run would
    // leave files there.
    const std::string name = "odd name;touch owned1;$(touch owned2)`touch owned3`'q\"\\ $HOME *";
    installAddon(name);

    EXPECT_EQ(run("uninstallFromDevice", {{"applicationName", name}, {"lockoutUser", "false"},
                                          {"applicationName", "/etc/addons.d/Third/"}}),
              Outcome{});

    EXPECT_FALSE(exists("/etc/addons.d/" + name));
    EXPECT_FALSE(exists("/etc/addons.d/Third"));
    // The last path component names the add-on.
    EXPECT_EQ(read("/var/log/deinstall.sh.argv"),
              argvRecord({"-p", "/tmp/ixoAddonPipe", name}) +
                  argvRecord({"-p", "/tmp/ixoAddonPipe", "Third"}));
    // Names without such characters keep the plain line.
    EXPECT_THAT(lines(), ElementsAre(_, connectionManagerLine, removeLine("Third"),
                                     connectionManagerLine));
    EXPECT_FALSE(exists("/owned1") || exists("/owned2") || exists("/owned3"));
}

TEST_F(AddonUninstallTest, SiblingWithoutANameIsTheNextEntry) {
    // XML gives every element a name; an agent's record need not.
    IxoXmlNode third = {nullptr, const_cast<char *>("Third"), nullptr, nullptr, 0};
    IxoXmlNode other = {const_cast<char *>("lockoutUser"), const_cast<char *>("false"), &third,
                        nullptr, 0};
    IxoXmlNode first = {const_cast<char *>("applicationName"), const_cast<char *>("First"), &other,
                        nullptr, 0};
    IxoXmlNode parameters = {const_cast<char *>("parameters"), nullptr, nullptr, &first, 0};
    IxoCommand command = {&parameters, nullptr, const_cast<char *>("uninstall"), nullptr, 0};

    EXPECT_EQ(runHandler(handlerFor("uninstall"), &command), Outcome{});
    EXPECT_FALSE(exists("/etc/addons.d/First"));
    EXPECT_FALSE(exists("/etc/addons.d/Third"));
}

}  // namespace
