// "uninstallFromDevice" and "uninstall": the deinstaller once per named
// add-on, in order, stopping at the first failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/handlers/addonTestSupport.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

std::string removeLine(const std::string &name) {
    return "sudo su -c \"/sbin/installer/deinstall.sh -p /tmp/ixoAddonPipe " + name + "\"";
}
const char connectionManagerLine[] = "sudo su -c \"/sbin/conmgr.sh\"";

class AddonUninstallTest : public addontest::AddonTest {
protected:
    commandtest::Outcome runXml(const std::string &name, const std::string &parametersXml) {
        std::string error;
        agent::CommandPtr command = agent::parseCommand(
            "<command name=\"" + name + "\"><parameters>" + parametersXml + "</parameters></command>",
            "uninstall.xml", &error);
        EXPECT_TRUE(command) << error;
        if (!command) {
            return {};
        }
        return commandtest::runHandler(commandtest::handlerFor(name), command.get());
    }
};

TEST_F(AddonUninstallTest, BothNamesAreOneHandler) {
    EXPECT_NE(commandtest::handlerFor("uninstall"), nullptr);
    EXPECT_EQ(commandtest::handlerFor("uninstall"), commandtest::handlerFor("uninstallFromDevice"));
    EXPECT_NE(commandtest::handlerFor("installOnDevice"), nullptr);
}

TEST_F(AddonUninstallTest, FailureOnTheSecondOfThreeStopsTheWalk) {
    installAddon("First");
    installAddon("Third");

    commandtest::Outcome outcome = run("uninstall", {{"applicationName", "First"},
                                                     {"applicationName", "Second"},
                                                     {"applicationName", "Third"},
                                                     {"lockoutUser", "true"}});

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    EXPECT_EQ(outcome.message, "Second is not installed\n");
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/First")));
    EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/Third/control")));
    EXPECT_THAT(lines(), ElementsAre(removeLine("First"), connectionManagerLine, removeLine("Second")));
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_THAT(programs(), Contains("lockdlg"));
    EXPECT_THAT(support::logText(), HasSubstr("About to uninstall 'Second'"));
    EXPECT_FALSE(support::exists(hostPath("/tmp/ixoAddonPipe")));
}

TEST_F(AddonUninstallTest, EveryNamedAddonGoesAndOtherParametersArePassedOver) {
    installAddon("First");
    installAddon("Third");

    commandtest::Outcome outcome = run("uninstallFromDevice", {{"applicationName", "First"},
                                                               {"lockoutUser", "false"},
                                                               {"applicationName", "/etc/addons.d/Third/"}});

    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasResponse);
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/First")));
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/Third")));
    // The last path component names the add-on.
    EXPECT_THAT(lines(), ElementsAre(removeLine("First"), connectionManagerLine, removeLine("Third"),
                                     connectionManagerLine));
    EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/IXO_AGENT/lockdlg")));
}

TEST_F(AddonUninstallTest, NoApplicationNameBeginsNothing) {
    commandtest::Outcome outcome = run("uninstall", {{"lockoutUser", "true"}, {"name", "First"}});

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_THAT(programs(), IsEmpty());
    EXPECT_THAT(support::logText(),
                HasSubstr("Could not find any applicationName subNodes in uninstallFromDevice command"));
}

TEST_F(AddonUninstallTest, EntryWithoutTextStopsTheWalkThere) {
    installAddon("First");
    installAddon("Third");

    for (const char *second : {"<applicationName><nested>x</nested></applicationName>",
                               "<applicationName></applicationName>"}) {
        ::unlink(addontest::lineFile().c_str());
        commandtest::Outcome outcome = runXml(
            "uninstall", "<applicationName>First</applicationName>" + std::string(second) +
                             "<applicationName>Third</applicationName><lockoutUser>true</lockoutUser>");

        EXPECT_EQ(outcome.result, -1) << second;
        EXPECT_EQ(outcome.errorClass, "invalid_arguments") << second;
        EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/First"))) << second;
        EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/Third"))) << second;
        EXPECT_THAT(lines(), ElementsAre(removeLine("First"), connectionManagerLine)) << second;
        EXPECT_EQ(userLockedOut(), 0);
        installAddon("First");
    }
    EXPECT_THAT(support::logText(), HasSubstr("Unexpected missing applicationName in "
                                              "applicationName subnode in uninstallFromDevice command"));
}

TEST_F(AddonUninstallTest, SiblingWithoutANameIsTheNextEntry) {
    installAddon("First");
    installAddon("Third");
    // XML gives every element a name; an agent's record need not.
    IxoXmlNode third = {nullptr, const_cast<char *>("Third"), nullptr, nullptr, 0};
    IxoXmlNode other = {const_cast<char *>("lockoutUser"), const_cast<char *>("false"), &third,
                        nullptr, 0};
    IxoXmlNode first = {const_cast<char *>("applicationName"), const_cast<char *>("First"), &other,
                        nullptr, 0};
    IxoXmlNode parameters = {const_cast<char *>("parameters"), nullptr, nullptr, &first, 0};
    IxoCommand command = {&parameters, nullptr, const_cast<char *>("uninstall"), nullptr, 0};

    commandtest::Outcome outcome =
        commandtest::runHandler(commandtest::handlerFor("uninstall"), &command);

    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/First")));
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/Third")));
}

TEST_F(AddonUninstallTest, NamesWithShellCharactersReachTheDeinstallerWhole) {
    // Device command lines run in "/": what the shell must not run would
    // leave files there.
    const std::string name = "odd name;touch owned1;$(touch owned2)`touch owned3`'q\"\\ $HOME *";
    installAddon(name);
    installAddon("Plain");

    commandtest::Outcome outcome =
        run("uninstall", {{"applicationName", name}, {"applicationName", "Plain"}});

    EXPECT_EQ(outcome.result, 0) << outcome.message;
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/" + name)));
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/Plain")));
    EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/IXO_AGENT")));
    std::vector<std::vector<std::string>> runs = addontest::argumentLists(root, "deinstall.sh");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_THAT(runs[0], ElementsAre("-p", "/tmp/ixoAddonPipe", name));
    // Names without such characters keep the plain line.
    EXPECT_THAT(runs[1], ElementsAre("-p", "/tmp/ixoAddonPipe", "Plain"));
    EXPECT_EQ(lines().at(2), removeLine("Plain"));
    for (const char *owned : {"/owned1", "/owned2", "/owned3"}) {
        EXPECT_FALSE(support::exists(hostPath(owned))) << owned;
    }
}

TEST_F(AddonUninstallTest, OverlongNameIsRefusedBeforeAnyRemoval) {
    installAddon("First");
    const size_t fixed = removeLine("").size();
    std::string tooLong(8192 - fixed, 'n');
    std::string longest(8191 - fixed, 'n');

    commandtest::Outcome refused = run("uninstall", {{"applicationName", "First"},
                                                     {"applicationName", tooLong},
                                                     {"lockoutUser", "true"}});
    EXPECT_EQ(refused.result, -1);
    EXPECT_EQ(refused.errorClass, "invalid_arguments");
    EXPECT_THAT(refused.message, HasSubstr("too long"));
    EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/First")));
    EXPECT_THAT(programs(), IsEmpty());

    // The longest that fits is run (and fails: no such add-on).
    commandtest::Outcome tried = run("uninstall", {{"applicationName", longest}});
    EXPECT_EQ(tried.errorClass, "system_error");
    EXPECT_THAT(lines(), ElementsAre(removeLine(longest)));
}

}  // namespace
