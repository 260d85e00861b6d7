// ixoAgent runs the HTTP download sample pointed at the test HTTP server, with
// the download credentials from the command line.
#include <sys/stat.h>

#include "tests/support/testHttpServer.h"
#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

TEST_F(AgentEndToEnd, HttpSampleFetchesWithTheGivenCredentialsAndNeverShowsThem) {
    initDevice();
    std::string served = work + "/served";
    ASSERT_EQ(mkdir(served.c_str(), 0755), 0);
    const std::string wallpaper = "\x89PNG wallpaper " + std::string(4000, 'w');
    support::writeFile(served + "/wallpaper.png", wallpaper);
    std::string passwordFile = work + "/password";
    support::writeFile(passwordFile, "e2e-Pa55:word\n");
    downloadtest::TestHttpServer server;
    std::string error;
    ASSERT_TRUE(server.start(std::string(IXO_SOURCE_DIR) + "/tests/support/httpServer.py",
                             served, "bob", passwordFile, 30, &error))
        << error;
    // The HTTP sample with its server replaced by the test server.
    std::string xml = support::readFile(sample("downloadFileFromServer-http.xml"));
    const std::string from = "http://updates.example.com";
    ASSERT_NE(xml.find(from), std::string::npos);
    std::string command = work + "/download-http.xml";
    support::writeFile(command, xml.replace(xml.find(from), from.size(), server.url("")));

    std::string log = work + "/agent.log";
    Words run = {"--log-file", log, "--log-level", "4", "--download-user", "bob",
                 "--download-password-file", passwordFile, "run", command};
    AgentRun fetched = onDevice(run);
    EXPECT_EQ(fetched.exitCode, 0) << fetched.out << fetched.err;
    EXPECT_TRUE(support::readFile(device + "/home/root/wallpaper.png") == wallpaper);
    std::string text = support::readFile(log);
    EXPECT_THAT(text, HasSubstr("username 'bob'"));
    EXPECT_THAT(text, HasSubstr("password set"));
    for (const std::string &shown : {text, fetched.out, fetched.err}) {
        EXPECT_THAT(shown, Not(HasSubstr("Pa55")));
    }
}

}  // namespace
}  // namespace e2e
