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
    write("/etc/a.conf");
    write("/etc/b.conf");
    const struct {
        bool directory;
        const char *path;
        bool deleted;
        const char *lockout;  // only the exact word "true" locks the user out
    } cases[] = {
        // The wrong kind is an error, not a guess.
        {false, "/etc/old/sub", false, "true"}, {true, "/etc/file", false, "true"},
        {false, "/etc/absent.conf", false, "true"}, {false, "/etc/old.conf", true, "true"},
        {true, "/etc/old", true, "true"}, {false, "/etc/a.conf", true, "True"},
        {false, "/etc/b.conf", true, "true "},
    };
    auto state = [](bool present) { return present ? ", present" : ", absent"; };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.lockout);
        observations.clear();
        observedTarget = hostPath(c.path);
        bool existed = exists(c.path);
        bool kept = existed && !c.deleted;
        std::string locked = std::string(c.lockout) == "true" ? ", locked" : ", unlocked";

        Outcome outcome = run(c.directory ? "deleteDirectory" : "deleteFile",
                              {{c.directory ? "directory" : "file", c.path}, {"lockoutUser", c.lockout}});

        if (c.deleted) {
            EXPECT_EQ(outcome, Outcome{});
        } else {
            EXPECT_EQ(outcome.result, -1);
            EXPECT_EQ(outcome.errorClass, "file_error");
            EXPECT_THAT(outcome.message.value_or(""), HasSubstr(c.path));
        }
        // The lockout first, the filter lifted before the deletion and
        // restored after it, the lockout ended last.
        EXPECT_THAT(observations, ElementsAre("sudo su -c \"rw\"" + locked + state(existed),
                                              "sudo su -c \"ro\"" + locked + state(kept)));
        EXPECT_EQ(exists(c.path), kept);
        EXPECT_EQ(userLockedOut(), 0);
        EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    }
    EXPECT_TRUE(exists("/etc/addons.d/IXO_AGENT/lockdlg"));

    // A mount the filter does not cover is not lifted, and a read-only one
    // does not stop the deletion being tried.
    observations.clear();
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    write("/home/root/notes.txt");
    EXPECT_EQ(run("deleteFile", {{"file", "/home/root/notes.txt"}}), Outcome{});
    EXPECT_FALSE(exists("/home/root/notes.txt"));
    EXPECT_THAT(observations, IsEmpty());
}

}  // namespace
