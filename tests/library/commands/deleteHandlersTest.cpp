// "deleteFile" and "deleteDirectory" with their lockout and write-filter
// brackets, on the simulated device.
#include <filesystem>

#include "tests/support/commandTestSupport.h"

using namespace commandtest;

namespace {

Lines observations;
std::string observedTarget;

// Notes each line run with the state of the device at that moment, then runs it.
int observingRunner(const char *line) {
    observations.push_back(std::string(line) + (userLockedOut() == 1 ? ", locked" : ", unlocked") +
                           (support::exists(observedTarget) ? ", present" : ", absent"));
    return sim::recordingRunner(line);
}

class DeleteHandlersTest : public HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        observations.clear();
        ixoSetCommandRunner(observingRunner);
    }
};

TEST_F(DeleteHandlersTest, FilteredRootIsChangedOnlyInsideBothBrackets) {
    ASSERT_TRUE(std::filesystem::create_directories(hostPath("/etc/old/sub")));
    write("/etc/old/sub/file");
    write("/etc/old.conf");
    write("/etc/file");
    const struct {
        bool directory;
        const char *path;
        bool deleted;
    } cases[] = {
        // The wrong kind is an error, not a guess.
        {false, "/etc/old/sub", false}, {true, "/etc/file", false},
        {false, "/etc/absent.conf", false}, {false, "/etc/old.conf", true}, {true, "/etc/old", true},
    };
    auto state = [](bool present) { return present ? ", present" : ", absent"; };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        observations.clear();
        support::clearLog();
        observedTarget = hostPath(c.path);
        bool existed = exists(c.path);
        bool kept = existed && !c.deleted;

        Outcome outcome = run(c.directory ? "deleteDirectory" : "deleteFile",
                              {{c.directory ? "directory" : "file", c.path}, {"lockoutUser", "true"}});

        if (c.deleted) {
            EXPECT_EQ(outcome, Outcome{});
        } else {
            EXPECT_EQ(outcome.result, -1);
            EXPECT_EQ(outcome.errorClass, "file_error");
            EXPECT_THAT(outcome.message.value_or(""), HasSubstr(c.path));
        }
        // Lockout first, the filter lifted before the deletion and restored
        // after it, the lockout ended last.
        EXPECT_THAT(observations,
                    ElementsAre(std::string("sudo su -c \"rw\", locked") + state(existed),
                                std::string("sudo su -c \"ro\", locked") + state(kept)));
        EXPECT_EQ(exists(c.path), kept);
        EXPECT_EQ(userLockedOut(), 0);
        EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
        EXPECT_THAT(support::logText(), Not(HasSubstr(notLockedOut)));
    }
    EXPECT_TRUE(exists("/etc/addons.d/IXO_AGENT/lockdlg"));
}

TEST_F(DeleteHandlersTest, ReadOnlyHomeIsRefusedByTheFilterButDeletionIsTried) {
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    write("/home/root/notes.txt");
    EXPECT_EQ(run("deleteFile", {{"file", "/home/root/notes.txt"}}), Outcome{});
    EXPECT_FALSE(exists("/home/root/notes.txt"));
    EXPECT_THAT(observations, IsEmpty());
}

TEST_F(DeleteHandlersTest, OnlyTheExactWordTrueLocksTheUserOut) {
    for (const char *flag : {"True", "TRUE", "yes", "1", "true "}) {
        write("/home/root/a");
        support::clearLog();
        EXPECT_EQ(run("deleteFile", {{"file", "/home/root/a"}, {"lockoutUser", flag}}), Outcome{});
        EXPECT_THAT(support::logText(), HasSubstr(notLockedOut)) << flag;
    }
}

}  // namespace
