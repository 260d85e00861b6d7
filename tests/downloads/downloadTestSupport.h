// A simulated device with the test HTTP server beside it, for the download
// suites: the server serves a directory of its own, /private/ with the user
// "bob" and a password that must never reach the log.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/download.h"
#include "tests/downloads/testHttpServer.h"
#include "tests/support/support.h"

namespace downloadtest {

constexpr const char *kUser = "bob";
// Characters that Basic authentication and the log must carry unchanged.
constexpr const char *kPassword = "Pa55:w0rd@-unique-9361";

// Bytes that show any misplaced or lost chunk: no period repeats early.
inline std::string patternBytes(size_t length, unsigned seed = 1) {
    std::string bytes(length, '\0');
    unsigned value = seed;
    for (size_t index = 0; index < length; ++index) {
        value = value * 1103515245u + 12345u;
        bytes[index] = static_cast<char>(value >> 16);
    }
    return bytes;
}

// The names in a host directory, "." and ".." left out.
inline std::vector<std::string> directoryNames(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *handle = opendir(dir.c_str())) {
        while (struct dirent *entry = readdir(handle)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(handle);
    }
    return names;
}

class ServedDeviceTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        savedLimits = agent::downloadLimits();
        served = support::makeTempDir("served-");
        support::writeFile(served + "/a.bin", patternBytes(200 * 1024));
        support::writeFile(served + "/empty.bin", "");
        passwordPath = served + ".pw";
        support::writeFile(passwordPath, std::string(kPassword) + "\n");
        std::string error;
        ASSERT_TRUE(server.start(std::string(IXO_SOURCE_DIR) + "/tests/downloads/httpServer.py",
                                 served, kUser, passwordPath, 30, &error))
            << error;
    }
    void TearDown() override {
        server.stop();
        agent::setDownloadLimits(savedLimits);
        support::removeTree(served);
        ::unlink(passwordPath.c_str());
        support::SimDeviceTest::TearDown();
    }

    std::string servedFile(const std::string &name) const {
        return support::readFile(served + "/" + name);
    }
    // Names in the device directory that are not listed: stray temporary files.
    std::vector<std::string> strays(const std::string &deviceDir,
                                    const std::vector<std::string> &expected) const {
        std::vector<std::string> found;
        for (const std::string &name : directoryNames(hostPath(deviceDir))) {
            bool listed = false;
            for (const std::string &wanted : expected) {
                listed = listed || wanted == name;
            }
            if (!listed) {
                found.push_back(name);
            }
        }
        return found;
    }

    TestHttpServer server;
    std::string served;
    std::string passwordPath;
    agent::DownloadLimits savedLimits;
};

}  // namespace downloadtest
