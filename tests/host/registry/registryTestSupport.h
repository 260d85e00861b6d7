// A simulated device with its registry /tmp/system.conf, and a recording hook
// runner so that no registry hook runs for real.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "host/registry/registry.h"
#include "ixo/agent.h"
#include "tests/support/support.h"

namespace registrytest {

inline std::vector<std::string> hookLines;
inline int hookResult = 0;

inline int recordHook(const char *line) {
    hookLines.push_back(line);
    return hookResult;
}

class RegistryTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        hookLines.clear();
        hookResult = 0;
        agent::setHookRunner(recordHook);
    }
    void TearDown() override {
        agent::setHookRunner(nullptr);
        support::SimDeviceTest::TearDown();
    }

    std::string file() const { return hostPath("/tmp/system.conf"); }

    // Writes content to the registry and opens it.
    int openWith(const std::string &content) {
        support::writeFile(file(), content);
        int handle = reg_open("/tmp/system.conf");
        EXPECT_GT(handle, 0);
        return handle;
    }

    ino_t inode() const { return status(file()).st_ino; }
    static mode_t modeOf(const std::string &path) { return status(path).st_mode & 07777; }
    static struct stat status(const std::string &path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        return info;
    }

    // The value, or "<failed>" when reg_get fails.
    static std::string get(int handle, const char *section, const char *key,
                           const char *fallback = "<absent>") {
        char buffer[1024];
        return reg_get(handle, buffer, section, key, fallback) == 0 ? buffer : "<failed>";
    }
};

}  // namespace registrytest
