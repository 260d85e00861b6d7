// "deleteFile" and "deleteDirectory" with their lockout and write-filter
// brackets, on the simulated device.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/guards.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

struct RunnerObservation {
    std::string line;
    bool lockedOut;
    bool targetExists;
};

std::vector<RunnerObservation> observations;
std::string observedTarget;

// Notes the state of the device each time a program runs, then runs it.
int observingRunner(const char *line) {
    observations.push_back({line, userLockedOut() == 1, support::exists(observedTarget)});
    return sim::recordingRunner(line);
}

class DeleteHandlersTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        observations.clear();
        ixoSetCommandRunner(observingRunner);
    }
    void TearDown() override {
        ixoSetCommandRunner(sim::recordingRunner);
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        support::SimDeviceTest::TearDown();
    }

    commandtest::Outcome run(const std::string &name,
                             const std::vector<std::pair<std::string, std::string>> &parameters) {
        agent::CommandPtr command = commandtest::makeCommand(name, parameters);
        EXPECT_TRUE(command);
        return commandtest::runHandler(commandtest::handlerFor(name), command.get());
    }
};

TEST_F(DeleteHandlersTest, FileOnTheFilteredRootIsDeletedInsideBothBrackets) {
    support::writeFile(hostPath("/etc/old.conf"), "x");
    observedTarget = hostPath("/etc/old.conf");

    commandtest::Outcome outcome =
        run("deleteFile", {{"file", "/etc/old.conf"}, {"lockoutUser", "true"}});

    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_FALSE(outcome.hasResponse);
    EXPECT_FALSE(support::exists(hostPath("/etc/old.conf")));
    // Lockout first, filter lifted before and restored after the deletion,
    // lockout ended last.
    ASSERT_EQ(observations.size(), 2u);
    EXPECT_EQ(observations[0].line, "sudo su -c \"rw\"");
    EXPECT_TRUE(observations[0].lockedOut);
    EXPECT_TRUE(observations[0].targetExists);
    EXPECT_EQ(observations[1].line, "sudo su -c \"ro\"");
    EXPECT_TRUE(observations[1].lockedOut);
    EXPECT_FALSE(observations[1].targetExists);
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_THAT(support::logText(), Not(HasSubstr("User not currently locked out")));
}

TEST_F(DeleteHandlersTest, WritableRootIsLeftAsItWas) {
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    support::writeFile(hostPath("/etc/old.conf"), "x");
    EXPECT_EQ(run("deleteFile", {{"file", "/etc/old.conf"}}).result, 0);
    EXPECT_THAT(observations, IsEmpty());
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    // Without "lockoutUser" the bracket still ends a lockout, and only logs.
    EXPECT_THAT(support::logText(), HasSubstr("User not currently locked out"));
}

TEST_F(DeleteHandlersTest, ReadOnlyHomeIsRefusedByTheFilterButDeletionIsTried) {
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    support::writeFile(hostPath("/home/root/notes.txt"), "x");
    EXPECT_EQ(run("deleteFile", {{"file", "/home/root/notes.txt"}}).result, 0);
    EXPECT_FALSE(support::exists(hostPath("/home/root/notes.txt")));
    EXPECT_THAT(observations, IsEmpty());
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("attempt to make something writable that doesn't have write "
                               "filter: '/home/root/notes.txt'"));
    EXPECT_THAT(log, HasSubstr("attempt to make something read only that doesn't have write "
                               "filter '/home/root/notes.txt'"));
}

TEST_F(DeleteHandlersTest, MissingParameterChangesNothing) {
    for (const char *name : {"deleteFile", "deleteDirectory"}) {
        commandtest::Outcome outcome = run(name, {{"lockoutUser", "true"}, {"path", "/etc"}});
        EXPECT_EQ(outcome.result, -1) << name;
        EXPECT_FALSE(outcome.hasErrorClass) << name;
        EXPECT_FALSE(outcome.hasMessage) << name;
    }
    EXPECT_THAT(observations, IsEmpty());
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_EQ(support::logText(), "");
}

TEST_F(DeleteHandlersTest, LockoutThatCannotStartStopsTheCommand) {
    support::writeFile(hostPath("/etc/keep.conf"), "x");
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    commandtest::Outcome outcome =
        run("deleteFile", {{"file", "/etc/keep.conf"}, {"lockoutUser", "true"}});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "error");
    EXPECT_EQ(outcome.message, "Unable to initiate User lockout screen");
    EXPECT_TRUE(support::exists(hostPath("/etc/keep.conf")));
    EXPECT_THAT(observations, IsEmpty());
    // The lockout that was already up is not the command's to end.
    EXPECT_EQ(userLockedOut(), 1);
}

TEST_F(DeleteHandlersTest, OnlyTheExactWordTrueLocksTheUserOut) {
    support::writeFile(hostPath("/home/root/a"), "x");
    observedTarget = hostPath("/home/root/a");
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "rw"));
    for (const char *flag : {"True", "TRUE", "yes", "1", "true "}) {
        support::writeFile(hostPath("/home/root/a"), "x");
        EXPECT_EQ(run("deleteFile", {{"file", "/home/root/a"}, {"lockoutUser", flag}}).result, 0);
    }
    for (const std::string &line : sim::programLog(root)) {
        EXPECT_NE(line, "lockdlg");
    }
}

TEST_F(DeleteHandlersTest, FailedDeletionReturnsTheServicesErrorAfterRestoring) {
    commandtest::Outcome outcome =
        run("deleteFile", {{"file", "/etc/absent.conf"}, {"lockoutUser", "true"}});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "file_error");
    EXPECT_THAT(outcome.message, HasSubstr("/etc/absent.conf"));
    ASSERT_EQ(observations.size(), 2u);
    EXPECT_EQ(observations[1].line, "sudo su -c \"ro\"");
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_EQ(userLockedOut(), 0);
}

TEST_F(DeleteHandlersTest, WrongKindIsAnErrorNotAGuess) {
    ASSERT_EQ(mkdir(hostPath("/home/root/dir").c_str(), 0755), 0);
    support::writeFile(hostPath("/home/root/file"), "x");
    EXPECT_EQ(run("deleteFile", {{"file", "/home/root/dir"}}).errorClass, "file_error");
    EXPECT_EQ(run("deleteDirectory", {{"directory", "/home/root/file"}}).errorClass, "file_error");
    EXPECT_TRUE(support::exists(hostPath("/home/root/dir")));
    EXPECT_TRUE(support::exists(hostPath("/home/root/file")));
}

TEST_F(DeleteHandlersTest, DirectoryGoesWithItsContent) {
    ASSERT_EQ(mkdir(hostPath("/etc/addons.d/old").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(hostPath("/etc/addons.d/old/sub").c_str(), 0755), 0);
    support::writeFile(hostPath("/etc/addons.d/old/sub/file"), "x");
    observedTarget = hostPath("/etc/addons.d/old");
    commandtest::Outcome outcome = run("deleteDirectory", {{"directory", "/etc/addons.d/old"}});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/old")));
    ASSERT_EQ(observations.size(), 2u);
    EXPECT_TRUE(observations[0].targetExists);
    EXPECT_FALSE(observations[1].targetExists);
    EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/IXO_AGENT/lockdlg")));
}

}  // namespace
