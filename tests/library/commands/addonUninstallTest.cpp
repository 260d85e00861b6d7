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
const char connectionManagerLine[] = "sudo su -c \"/sbin/conmgr.sh\"";

class AddonUninstallTest : public AddonTest {
protected:
    void SetUp() override {
        AddonTest::SetUp();
        installAddon("First");
        installAddon("Third");
    }
};

TEST_F(AddonUninstallTest, FailureOnTheSecondOfThreeStopsTheWalk) {
    EXPECT_EQ(run("uninstall", {{"applicationName", "First"}, {"applicationName", "Second"},
                                {"applicationName", "Third"}, {"lockoutUser", "true"}}),
              (Outcome{-1, "system_error", "Second is not installed\n"}));

    EXPECT_FALSE(exists("/etc/addons.d/First"));
    EXPECT_TRUE(exists("/etc/addons.d/Third/control"));
    EXPECT_THAT(lines(), ElementsAre(removeLine("First"), connectionManagerLine, removeLine("Second")));
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_THAT(support::logText(), Not(HasSubstr(notLockedOut)));
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

TEST_F(AddonUninstallTest, EntryWithoutTextStopsTheWalkThere) {
    for (const char *second : {"<applicationName><nested>x</nested></applicationName>",
                               "<applicationName></applicationName>"}) {
        SCOPED_TRACE(second);
        clearLines();
        EXPECT_EQ(runXml("uninstall", "<applicationName>First</applicationName>" + std::string(second) +
                                          "<applicationName>Third</applicationName><lockoutUser>true"
                                          "</lockoutUser>"),
                  (Outcome{-1, "invalid_arguments"}));
        EXPECT_FALSE(exists("/etc/addons.d/First"));
        EXPECT_TRUE(exists("/etc/addons.d/Third"));
        EXPECT_THAT(lines(), ElementsAre(removeLine("First"), connectionManagerLine));
        EXPECT_EQ(userLockedOut(), 0);
        installAddon("First");
    }
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

TEST_F(AddonUninstallTest, NameTheDeinstallerWouldTakeForAnOptionIsRefusedBeforeAnyRemoval) {
    for (const char *name : {"-p", "/etc/addons.d/-rf/", "--help"}) {
        SCOPED_TRACE(name);
        Outcome refused = run("uninstall", {{"applicationName", "First"}, {"applicationName", name},
                                            {"lockoutUser", "true"}});
        EXPECT_EQ(refused.result, -1);
        EXPECT_EQ(refused.errorClass, "invalid_arguments");
        EXPECT_TRUE(exists("/etc/addons.d/First/control"));
        EXPECT_THAT(sim::programLog(root), IsEmpty());
    }
}

}  // namespace
