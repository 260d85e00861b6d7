// ixoAgent runs the HTTP download sample pointed at the test HTTP server, with
// the download credentials from the command line.
#include <sys/stat.h>

#include "tests/support/testHttpServer.h"
#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

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

TEST_F(DownloadEndToEnd, HttpSampleFetchesWithTheGivenCredentialsAndNeverShowsThem) {
    std::string log = work + "/agent.log";
    Words run = {"--log-file", log, "--log-level", "4", "--download-user", "bob",
                 "--download-password-file", passwordFile, "run", httpSample()};
    support::writeFile(passwordFile, "wrong-Pa55-7731\n");
    AgentRun refused = onDevice(run);
    EXPECT_EQ(refused.exitCode, 1) << refused.out << refused.err;
    EXPECT_THAT(refused.out, HasSubstr("result: -1\nerrorClass: file_error\nmessage: File_error\n"));
    EXPECT_FALSE(support::exists(device + "/home/root/wallpaper.png"));
    EXPECT_THAT(support::readFile(log), HasSubstr("HTTP status 401"));

    support::writeFile(passwordFile, std::string(kPassword) + "\n");
    AgentRun fetched = onDevice(run);
    EXPECT_EQ(fetched.exitCode, 0) << fetched.out << fetched.err;
    EXPECT_TRUE(support::readFile(device + "/home/root/wallpaper.png") == wallpaper);
    std::string text = support::readFile(log);
    EXPECT_THAT(text, HasSubstr("username 'bob'"));
    EXPECT_THAT(text, HasSubstr("password set"));
    for (const std::string &shown : {text, refused.out, refused.err, fetched.out, fetched.err}) {
        EXPECT_THAT(shown, Not(HasSubstr("Pa55")));
    }
}

}  // namespace
}  // namespace e2e
