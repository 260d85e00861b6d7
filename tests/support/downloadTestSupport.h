// A simulated device with the test HTTP server beside it: the server serves a
// directory of its own, /private/ with the user "bob" and a password that must
// never reach the log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/command/base64.h"
#include "host/download/download.h"
#include "host/host.h"
#include "tests/support/commandTestSupport.h"
#include "tests/support/testHttpServer.h"
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

struct Part {
    std::string headers;
    std::string body;
};
using Parameters = std::vector<std::pair<std::string, std::string>>;

// A "downloadFileFromServer" command as a command file gives it.
inline agent::CommandPtr downloadCommand(const Parameters &parameters,
                                         const std::vector<Part> &parts) {
    std::string xml = "<command name=\"downloadFileFromServer\"><parameters>";
    for (const auto &[name, value] : parameters) {
        xml += "<" + name + ">" + value + "</" + name + ">";
    }
    xml += "</parameters>";
    for (const Part &part : parts) {
        xml += "<mimePart><headers>" + part.headers + "</headers><body encoding=\"base64\">" +
               agent::detail::base64Encode(part.body) + "</body></mimePart>";
    }
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml + "</command>", "download.xml", &error);
    EXPECT_TRUE(command) << error;
    return command;
}

inline commandtest::Outcome runDownload(const Parameters &parameters,
                                        const std::vector<Part> &parts = {}) {
    agent::CommandPtr command = downloadCommand(parameters, parts);
    CommandHandlerFn handler = commandtest::handlerFor("downloadFileFromServer");
    EXPECT_NE(handler, nullptr);
    return command && handler ? commandtest::runHandler(handler, command.get())
                              : commandtest::Outcome(-2);
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
        support::writeFile(served + ".pw", std::string(kPassword) + "\n");
        std::string error;
        ASSERT_TRUE(server.start(std::string(IXO_SOURCE_DIR) + "/tests/support/httpServer.py",
                                 served, kUser, served + ".pw", 30, &error))
            << error;
    }
    void TearDown() override {
        server.stop();
        agent::setDownloadLimits(savedLimits);
        support::removeTree(served);
        ::unlink((served + ".pw").c_str());
        support::SimDeviceTest::TearDown();
    }

    std::string servedFile(const std::string &name) const {
        return support::readFile(served + "/" + name);
    }
    std::string deviceFile(const std::string &devicePath) const {
        return support::readFile(hostPath(devicePath));
    }
    // The names in a device directory, sorted: shows stray temporary files.
    // The folder a sample command deletes is the device's own.
    std::vector<std::string> entries(const std::string &deviceDir) const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(hostPath(deviceDir))) {
            if (entry.path().filename() != "addon-cache") {
                names.push_back(entry.path().filename());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TestHttpServer server;
    std::string served;
    agent::DownloadLimits savedLimits;
};

}  // namespace downloadtest
