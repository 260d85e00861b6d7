// Several processes on one registry: concurrent writers lose no update, a
// writer killed at any moment leaves a whole old or new file, and neither a
// local user nor a writer that hangs holds the others up for ever.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "host/registry/registryStore.h"
#include "tests/host/registry/registryTestSupport.h"

namespace {

const char kRegistry[] = "/temp/crash/system.conf";
constexpr int kKeys = 4;

std::string key(int i) { return "key" + std::to_string(i); }

// The registry once the first done keys hold round and the others round - 1.
std::string roundsText(const std::string &head, long round, int done) {
    std::string text = head + "[crash]\n";
    for (int i = 0; i < kKeys; ++i) {
        text += key(i) + "=round-" + std::to_string(i < done ? round : round - 1) + "\n";
    }
    return text;
}

// Runs work in a child, as a local user or as root, and returns once the
// child wrote to the descriptor work gets; -1 when it ended before that.
pid_t startChild(const std::function<int(int ready)> &work, bool asLocalUser = false) {
    int ready[2];
    if (pipe(ready) != 0) {
        return -1;
    }
    auto run = [&] {
        close(ready[0]);
        return work(ready[1]);
    };
    pid_t child = asLocalUser ? support::startAsLocalUser(run) : fork();
    if (child == 0) {
        _exit(run());
    }
    close(ready[1]);
    char byte;
    bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (!started) {
        ADD_FAILURE() << "the child ended: " << support::waitForLocalUser(child);
        return -1;
    }
    return child;
}

// Tells the parent, then keeps what the child holds until it is killed.
int holdUntilKilled(int ready) {
    if (write(ready, "!", 1) == 1) {
        pause();
    }
    return 1;
}

class RegistryProcesses : public registrytest::RegistryTest {
protected:
    void SetUp() override {
        registrytest::RegistryTest::SetUp();
        ASSERT_EQ(mkdir(hostPath("/temp/crash").c_str(), 0755), 0);
        savedWait = agent::registryLockWait();
    }
    void TearDown() override {
        agent::setRegistryLockWait(savedWait);
        registrytest::RegistryTest::TearDown();
    }

    // Writers go key by key, round by round: the keys hold round N up to some
    // key and round N-1 after it. Anything else is a lost, mixed or torn write.
    long checkRounds(const std::string &head) const {
        const std::string content = support::readFile(hostPath(kRegistry));
        size_t at = content.find("key0=round-");
        long round = at == std::string::npos ? -1 : std::atol(content.c_str() + at + 11);
        for (int done = 1; done <= kKeys; ++done) {
            if (content == roundsText(head, round, done)) {
                return round;
            }
        }
        ADD_FAILURE() << content;
        return -1;
    }

    std::chrono::milliseconds savedWait{};
};

class RegistryLock : public RegistryProcesses {};

// Runs in a child: finishes the round a killed writer left half done, then
// goes on, telling readyFd once it has written a new value.
[[noreturn]] void writeRoundsForever(int readyFd) {
    int handle = reg_open(kRegistry);
    char value[1024];
    if (handle <= 0 || reg_get(handle, value, "crash", "key0", nullptr) != 0) {
        _exit(2);
    }
    for (long round = std::strtol(value + 6, nullptr, 10);; ++round) {
        std::string text = "round-" + std::to_string(round);
        for (int i = 0; i < kKeys; ++i) {
            if (reg_set(handle, "crash", key(i).c_str(), text.c_str()) != 0) {
                _exit(3);
            }
            if (readyFd >= 0 && text != value) {
                if (write(readyFd, "!", 1) != 1) {
                    _exit(4);
                }
                close(readyFd);
                readyFd = -1;
            }
        }
    }
}

TEST_F(RegistryProcesses, ConcurrentWritersLoseNoUpdate) {
    const int kEach = 20;
    support::writeFile(hostPath(kRegistry), "[shared]\n");
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (std::string prefix : {"a", "b"}) {
        children.push_back(startChild([&](int ready) {
            close(gate[1]);
            char go;
            int handle = reg_open(kRegistry);
            if (handle <= 0 || write(ready, "!", 1) != 1 || read(gate[0], &go, 1) != 0) {
                return 2;
            }
            for (int i = 0; i < kEach; ++i) {
                std::string name = prefix + std::to_string(i);
                if (reg_set(handle, "shared", name.c_str(), name.c_str()) != 0) {
                    return 3;
                }
            }
            return 0;
        }));
    }
    close(gate[0]);
    close(gate[1]);  // both start at once
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    int handle = reg_open(kRegistry);
    for (int i = 0; i < 2 * kEach; ++i) {
        std::string name = (i < kEach ? "a" : "b") + std::to_string(i % kEach);
        EXPECT_EQ(get(handle, "shared", name.c_str()), name);
    }
    reg_close(handle);
}

TEST_F(RegistryProcesses, KilledWriterLeavesOldOrNewFile) {
    const std::string head = "# kept as it is\n[other]\nkeep=yes\n\n";
    support::writeFile(hostPath(kRegistry), roundsText(head, 0, kKeys));
    std::mt19937 random(4242);
    for (int kill = 0; kill < 40 && !HasFailure(); ++kill) {
        pid_t child = startChild([](int ready) -> int { writeRoundsForever(ready); });
        ASSERT_GT(child, 0);
        usleep(random() % 20001);
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        checkRounds(head);
        // The registry, and at most the killed writer's temporary file.
        int temporary = 0;
        for (const auto &entry : std::filesystem::directory_iterator(hostPath("/temp/crash"))) {
            std::string name = entry.path().filename();
            temporary += name.rfind(".system.conf.tmp", 0) == 0;
            EXPECT_TRUE(name == "system.conf" || name.rfind(".system.conf.tmp", 0) == 0) << name;
        }
        EXPECT_LE(temporary, 1);
    }
    // Each writer finished at least one new value before it was killed.
    EXPECT_GE(checkRounds(head), 40);
}

TEST_F(RegistryLock, LocalUserHoldingOldOrNewLockNamesCannotHoldUpAWrite) {
    int handle = openWith("[IxoSettings]\nMode=old\n");
    ASSERT_EQ(reg_set(handle, "IxoSettings", "Mode", "first"), 0);
    const std::string folder = hostPath("/home/root/.registry-locks");
    std::vector<std::string> locks;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        locks.push_back(folder + "/" + entry.path().filename().string());
    }
    EXPECT_EQ(locks.size(), 1u);
    support::openToLocalUsers(hostPath("/tmp"));
    support::openToLocalUsers(hostPath("/home/root"));

    pid_t user = startChild(
        [&](int ready) {
            // The lock file writers used to take beside the registry, in /tmp:
            // made or opened for reading, which is all flock needs.
            int planted =
                open(hostPath("/tmp/.system.conf.lock").c_str(), O_RDONLY | O_CREAT, 0666);
            if (planted < 0 || flock(planted, LOCK_EX) != 0) {
                return 1;
            }
            // The locks of today cannot be opened, so cannot be held.
            for (const std::string &lock : locks) {
                if (open(lock.c_str(), O_RDONLY) >= 0 || errno != EACCES) {
                    return 2;
                }
            }
            if (open(folder.c_str(), O_RDONLY | O_DIRECTORY) >= 0 || errno != EACCES) {
                return 3;
            }
            return holdUntilKilled(ready);
        },
        true);
    ASSERT_GT(user, 0);

    EXPECT_EQ(reg_set(handle, "IxoSettings", "Mode", "second"), 0);
    EXPECT_EQ(get(handle, "IxoSettings", "Mode"), "second");
    support::stopLocalUser(user);
    reg_close(handle);
}

TEST_F(RegistryLock, WriterHungWithTheLockFailsTheNextWriteInBoundedTime) {
    // Short, so that the suite does not wait long; concurrent writers on a
    // busy machine get the usual wait.
    agent::setRegistryLockWait(std::chrono::milliseconds(400));
    int handle = openWith("[IxoSettings]\nMode=old\n");
    pid_t writer = startChild([](int ready) {
        agent::registry::RegistryPath path;
        agent::registry::Fd lock;
        std::string error;
        bool locked = agent::registry::resolveRegistryPath("/tmp/system.conf", &path, &error) &&
                      agent::registry::lockRegistry(path, &lock, &error);
        // The descriptor stays open in the child: the lock is held.
        lock.fd = -1;
        return locked ? holdUntilKilled(ready) : 2;
    });
    ASSERT_GT(writer, 0);

    support::clearLog();
    EXPECT_EQ(reg_set(handle, "IxoSettings", "Mode", "new"), -1);
    EXPECT_THAT(support::logText(), ::testing::HasSubstr("stays locked by another writer"));
    EXPECT_EQ(support::readFile(file()), "[IxoSettings]\nMode=old\n");

    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(reg_set(handle, "IxoSettings", "Mode", "new"), 0);
    reg_close(handle);
}

}  // namespace
