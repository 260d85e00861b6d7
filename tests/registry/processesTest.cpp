// Several processes on one registry: concurrent writers lose no update, and a
// writer killed at any moment leaves a whole old or new file.
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/registry/registryTestSupport.h"

namespace {

const char kRegistry[] = "/temp/crash/system.conf";
constexpr int kKeys = 4;

class RegistryProcesses : public registrytest::RegistryTest {
protected:
    void SetUp() override {
        registrytest::RegistryTest::SetUp();
        ASSERT_EQ(mkdir(hostPath("/temp/crash").c_str(), 0755), 0);
    }

    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        DIR *dir = opendir(hostPath("/temp/crash").c_str());
        while (const dirent *entry = dir != nullptr ? readdir(dir) : nullptr) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
                names.push_back(entry->d_name);
            }
        }
        if (dir != nullptr) {
            closedir(dir);
        }
        return names;
    }
};

std::string key(int i) { return "key" + std::to_string(i); }

// Runs in a child; never returns.
[[noreturn]] void writeRoundsForever(int readyFd) {
    int handle = reg_open(kRegistry);
    char value[1024];
    if (handle <= 0 || reg_get(handle, value, "crash", "key0", nullptr) != 0) {
        _exit(2);
    }
    // Finishes the round a killed writer left half done, then goes on.
    for (long round = std::strtol(value + 6, nullptr, 10);; ++round) {
        std::string text = "round-" + std::to_string(round);
        for (int i = 0; i < kKeys; ++i) {
            if (reg_set(handle, "crash", key(i).c_str(), text.c_str()) != 0) {
                _exit(3);
            }
            if (readyFd >= 0 && i == 0 && text != value) {
                if (write(readyFd, "!", 1) != 1) {
                    _exit(4);
                }
                close(readyFd);
                readyFd = -1;
            }
        }
    }
}

// Writers go key by key, round by round: the keys hold round N up to some key
// and round N-1 after it. Anything else is a lost, mixed or torn write.
std::vector<long> checkRounds(const std::string &content, const std::string &head) {
    std::vector<long> rounds;
    std::string expected = head + "[crash]\n";
    for (int i = 0; i < kKeys; ++i) {
        std::string value;
        std::string error;
        EXPECT_TRUE(agent::registryGet(kRegistry, "crash", key(i), &value, &error)) << error;
        rounds.push_back(value.rfind("round-", 0) == 0 ? std::atol(value.c_str() + 6) : -1);
        expected += key(i) + "=round-" + std::to_string(rounds.back()) + "\n";
    }
    EXPECT_EQ(content, expected);
    for (int i = 1; i < kKeys; ++i) {
        EXPECT_TRUE(rounds[i] == rounds[0] || rounds[i] == rounds[0] - 1) << content;
        EXPECT_LE(rounds[i], rounds[i - 1]) << content;
    }
    return rounds;
}

TEST_F(RegistryProcesses, ConcurrentWritersLoseNoUpdate) {
    const int kEach = 20;
    support::writeFile(hostPath(kRegistry), "[shared]\n");
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (const char *prefix : {"a", "b"}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            char go;
            close(gate[1]);
            int handle = read(gate[0], &go, 1) == 0 ? reg_open(kRegistry) : 0;
            for (int i = 0; handle > 0 && i < kEach; ++i) {
                std::string name = prefix + std::to_string(i);
                if (reg_set(handle, "shared", name.c_str(), name.c_str()) != 0) {
                    _exit(3);
                }
            }
            _exit(handle > 0 ? 0 : 2);
        }
        children.push_back(child);
    }
    close(gate[0]);
    close(gate[1]);  // both start at once
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    int handle = reg_open(kRegistry);
    for (const char *prefix : {"a", "b"}) {
        for (int i = 0; i < kEach; ++i) {
            std::string name = prefix + std::to_string(i);
            EXPECT_EQ(get(handle, "shared", name.c_str()), name);
        }
    }
    reg_close(handle);
}

TEST_F(RegistryProcesses, KilledWriterLeavesOldOrNewFile) {
    const std::string head = "# kept as it is\n[other]\nkeep=yes\n\n";
    std::string initial = head + "[crash]\n";
    for (int i = 0; i < kKeys; ++i) {
        initial += key(i) + "=round-0\n";
    }
    support::writeFile(hostPath(kRegistry), initial);
    std::mt19937 random(4242);
    int strays = 0;
    for (int kill = 0; kill < 40; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            writeRoundsForever(ready[1]);
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the writer did not start";
        close(ready[0]);
        usleep(random() % 20001);
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        checkRounds(support::readFile(hostPath(kRegistry)), head);
        int temps = 0;
        for (const std::string &name : listing()) {
            bool temp = name.rfind(".system.conf.tmp", 0) == 0 && name.size() == 22;
            temps += temp;
            EXPECT_TRUE(name == "system.conf" || name == ".system.conf.lock" || temp) << name;
        }
        EXPECT_LE(temps, 1);
        strays += temps;
        if (HasFailure()) {
            break;
        }
    }
    std::vector<long> rounds = checkRounds(support::readFile(hostPath(kRegistry)), head);
    // Each writer finished at least one new value before it was killed.
    EXPECT_GE(rounds[0], 40);
    // The next write clears what the last killed writer left.
    int handle = reg_open(kRegistry);
    ASSERT_GT(handle, 0);
    ASSERT_EQ(reg_set(handle, "other", "keep", "still"), 0);
    reg_close(handle);
    EXPECT_THAT(listing(), ::testing::UnorderedElementsAre("system.conf", ".system.conf.lock"));
    RecordProperty("stray_temp_files", strays);
}

}  // namespace
