// ixoAgent runs the download samples: the MIME-part sample as it stands, and
// the HTTP sample pointed at the test HTTP server, with the download
// credentials from the command line.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "sim/sim.h"
#include "tests/support/testHttpServer.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using e2e::AgentRun;

constexpr const char *kPassword = "e2e-Pa55:word";

class DownloadEndToEnd : public e2e::AgentEndToEnd {
protected:
    void SetUp() override {
        e2e::AgentEndToEnd::SetUp();
        initDevice();
        served = work + "/served";
        ASSERT_EQ(mkdir(served.c_str(), 0755), 0);
        wallpaper = std::string(4096, '\0');
        for (size_t index = 0; index < wallpaper.size(); ++index) {
            wallpaper[index] = static_cast<char>(index * 7 + index / 256);
        }
        support::writeFile(served + "/wallpaper.png", wallpaper);
        passwordFile = work + "/password";
        support::writeFile(passwordFile, std::string(kPassword) + "\n");
        std::string error;
        ASSERT_TRUE(server.start(std::string(IXO_SOURCE_DIR) + "/tests/support/httpServer.py",
                                 served, "bob", passwordFile, 30, &error))
            << error;
    }
    void TearDown() override {
        server.stop();
        e2e::AgentEndToEnd::TearDown();
    }

    // The HTTP sample with its server replaced by the test server.
    std::string httpSample() {
        std::string xml = support::readFile(sample("downloadFileFromServer-http.xml"));
        const std::string from = "http://updates.example.com";
        size_t at = xml.find(from);
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos) {
            xml.replace(at, from.size(), server.url(""));
        }
        std::string path = work + "/download-http.xml";
        support::writeFile(path, xml);
        return path;
    }

    downloadtest::TestHttpServer server;
    std::string served;
    std::string wallpaper;
    std::string passwordFile;
};

TEST_F(DownloadEndToEnd, MimeSampleWritesOntoTheFilteredRoot) {
    AgentRun run = agent({"--device-root", device, "run", sample("downloadFileFromServer.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("command: downloadFileFromServer\nresult: 0\n"
                                   "errorClass: (none)\nmessage: (none)\nresponse: (none)\n"));
    EXPECT_EQ(support::readFile(device + "/etc/motd"),
              "Welcome to this thin client.\n"
              "It is managed centrally: changes made here may be undone.\n");
    EXPECT_THAT(sim::programLog(device), Contains("rw"));
    EXPECT_THAT(sim::programLog(device), Contains("ro"));
    EXPECT_EQ(sim::mountOptions(device, "/"), "ro,noatime");
}

TEST_F(DownloadEndToEnd, HttpSampleFetchesWithTheGivenCredentials) {
    std::string log = work + "/agent.log";
    AgentRun run = agent({"--device-root", device, "--log-file", log, "--log-level", "4",
                          "--download-user", "bob", "--download-password-file", passwordFile,
                          "run", httpSample()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("result: 0\nerrorClass: (none)\n"));
    EXPECT_TRUE(support::readFile(device + "/home/root/wallpaper.png") == wallpaper);
    std::string text = support::readFile(log);
    // The lockout was begun, so ending it found one to end.
    EXPECT_THAT(text, Not(HasSubstr("User not currently locked out")));
    EXPECT_THAT(text, HasSubstr("username 'bob'"));
    EXPECT_THAT(text, HasSubstr("password set"));
    EXPECT_THAT(text, Not(HasSubstr(kPassword)));
    EXPECT_THAT(run.out + run.err, Not(HasSubstr(kPassword)));
}

TEST_F(DownloadEndToEnd, RefusedCredentialsLeaveNoFile) {
    support::writeFile(passwordFile, "wrong-Pa55-7731\n");
    std::string log = work + "/agent.log";
    AgentRun run = agent({"--device-root", device, "--log-file", log, "--download-user", "bob",
                          "--download-password-file", passwordFile, "run", httpSample()});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("result: -1\nerrorClass: file_error\nmessage: File_error\n"));
    EXPECT_FALSE(support::exists(device + "/home/root/wallpaper.png"));
    EXPECT_THAT(support::readFile(log), HasSubstr("HTTP status 401"));
    EXPECT_THAT(support::readFile(log), Not(HasSubstr("wrong-Pa55")));
}

}  // namespace
