// "installOnDevice" on the add-on road: download into /tmp, the device's
// installer with its outcome file, the desktop refresh chosen by the OS
// version, and the package left or removed.
#include <fcntl.h>

#include "tests/library/commands/addonTestSupport.h"

using namespace commandtest;
using namespace addontest;
using ::testing::_;

namespace {

const char helloSource[] = "http://server/addons/HelloAddon.tar";

std::string installLine(const std::string &package) {
    return "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -p /tmp/ixoAddonPipe -l "
           "/tmp/" + package + "\"";
}
const std::string helloInstallLine = installLine("HelloAddon.tar");

// What a local user puts at the outcome file's name while the installer
// runs: each answers "ok" for an install that did not happen.
enum class Planted { nothing, fifo, link, ownFile };
Planted planted;
pid_t fifoHolder = -1;
const char *outcomeBytes;
std::string outcomePath;

// Run as the local user: its own file saying "ok", or a link to one.
int plantAnswer() {
    std::string answer = planted == Planted::ownFile ? outcomePath : outcomePath + "-answer";
    int fd = open(answer.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || write(fd, "ok\n", 3) != 3 || close(fd) != 0) {
        return 1;
    }
    return planted == Planted::link ? symlink(answer.c_str(), outcomePath.c_str()) : 0;
}

// Instead of the installer: its outcome written byte for byte (null: no
// outcome file), or, after it cleared the file as it starts, which frees the
// name for a moment, an answer planted by a local user.
int installerStandIn(const char *line) {
    if (std::string(line).find("installer.sh") == std::string::npos) {
        return sim::recordingRunner(line);
    }
    ::unlink(outcomePath.c_str());
    if (planted == Planted::nothing) {
        if (outcomeBytes != nullptr) {
            support::writeFile(outcomePath, outcomeBytes);
        }
        return 0;
    }
    if (planted != Planted::fifo) {
        EXPECT_EQ(support::runAsLocalUser(plantAnswer), 0);
        return 0;
    }
    // The FIFO's holder stays, so that a reader finds the answer waiting.
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    fifoHolder = support::startAsLocalUser([&] {
        int fd = -1;
        if (mkfifo(outcomePath.c_str(), 0666) != 0 ||
            (fd = open(outcomePath.c_str(), O_RDWR)) < 0 || write(fd, "ok\n", 3) != 3 ||
            write(ready[1], "r", 1) != 1) {
            return 1;
        }
        pause();
        return 0;
    });
    close(ready[1]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1) << "no FIFO planted";
    close(ready[0]);
    return 0;
}

class AddonInstallTest : public AddonTest {
protected:
    void SetUp() override {
        AddonTest::SetUp();
        makePackage("HelloAddon.tar", {{"control", "name=HelloAddon\n"}, {"hello.sh", "echo hi\n"}});
    }

    Outcome install(const std::string &source, const char *lockout = "false") {
        return run("installOnDevice", {{"source", source}, {"lockoutUser", lockout}});
    }
};

TEST_F(AddonInstallTest, InstalledUnderTheLockoutAndTheDesktopRestartFollowsTheOsVersion) {
    const Lines windowManager = {helloInstallLine, "sudo su -c \"/etc/rc.d/rc.qvwm\"",
                                 "echo \"QVWM_RESTART\" >> /tmp/qvwm-\\:0.0"};
    const Lines connectionManager = {helloInstallLine, connectionManagerLine};
    const struct {
        const char *registry;
        bool windowManager;
    } cases[] = {
        {"[system]\nversion=6.3.0\n", true}, {"[system]\nversion=6.3.0.7\n", true},
        {"[system]\nversion=6.3\n", false},  {"[system]\nversion=6.4.0\n", false},
        {"[system]\nversion=\n", false},     {"[system]\n", false},
        // A key before the first section: the registry cannot be opened, so
        // its 6.3.0 is never seen.
        {"version=6.3.0\n[system]\nversion=6.3.0\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.registry);
        write("/tmp/system.conf", c.registry);
        clearLines();
        downloads.clear();
        ::unlink(hostPath("/tmp/qvwm-:0.0").c_str());

        EXPECT_EQ(install(helloSource, "true"), Outcome{});

        EXPECT_THAT(downloads, ElementsAre(std::make_pair(std::string(helloSource),
                                                          std::string("/tmp/HelloAddon.tar"))));
        EXPECT_EQ(read("/etc/addons.d/HelloAddon/control"), "name=HelloAddon\n");
        EXPECT_FALSE(exists("/tmp/HelloAddon.tar"));
        EXPECT_FALSE(exists("/tmp/ixoAddonPipe"));
        EXPECT_EQ(lines(), c.windowManager ? windowManager : connectionManager);
        EXPECT_EQ(exists("/tmp/qvwm-:0.0") ? read("/tmp/qvwm-:0.0") : "(none)",
                  c.windowManager ? "QVWM_RESTART\n" : "(none)");
        EXPECT_EQ(userLockedOut(), 0);
        support::removeTree(hostPath("/etc/addons.d/HelloAddon"));
    }
}

TEST_F(AddonInstallTest, OutcomeFileReadExactlyAndAnAnswerALocalUserPutsThereIsNotTaken) {
    ixoSetCommandRunner(installerStandIn);
    outcomePath = hostPath("/tmp/ixoAddonPipe");
    support::openToLocalUsers(hostPath("/tmp"));
    const Outcome failed(-1, "system_error");
    const struct {
        const char *bytes;  // nullptr: no outcome file
        Outcome outcome;
        Planted plant = Planted::nothing;
    } cases[] = {
        {"error", {-1, "system_error", ""}},  // shorter than the word and its separator
        {"error\n", {-1, "system_error", ""}},
        {"Error:x", {-1, "system_error", "x"}},
        // The reason is the first line, with its newline.
        {"error disk full\nsecond line\n", {-1, "system_error", "disk full\n"}},
        {"", failed},
        {nullptr, failed},
        {"ok\nerror later\n", {}},
        {"OK\n", {}},
        {"Errno 5\n", {}},
        {"a FIFO held open", failed, Planted::fifo},
        {"a link to its own file", failed, Planted::link},
        {"its own file", failed, Planted::ownFile},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes != nullptr ? c.bytes : "(no file)");
        outcomeBytes = c.bytes;
        planted = c.plant;
        clearLines();
        EXPECT_EQ(install(helloSource), c.outcome);
        if (fifoHolder > 0) {
            support::stopLocalUser(fifoHolder);
            fifoHolder = -1;
        }
        EXPECT_FALSE(exists("/tmp/ixoAddonPipe"));
        // A failed install keeps the package and refreshes no desktop.
        bool failure = c.outcome.result != 0;
        EXPECT_EQ(exists("/tmp/HelloAddon.tar"), failure);
        EXPECT_EQ(lines(), failure ? Lines{} : Lines{connectionManagerLine});
        ::unlink((outcomePath + "-answer").c_str());
    }
}

// A package that cannot be fetched, or an agent that gives no download
// function, fails the install before anything runs on the device.
TEST_F(AddonInstallTest, NoPackageFetchedMeansNothingRun) {
    const struct {
        const char *name;
        const char *source;
        bool downloadFunction;
    } cases[] = {
        {"not on the server", "http://server/addons/Missing.tar", true},
        {"no download function", helloSource, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        table.downloadToFile = c.downloadFunction ? copyPackage : nullptr;
        initPlatformSpecificCommands(&table);
        clearLines();

        EXPECT_EQ(install(c.source, "true"), Outcome(-1, "file_error"));

        EXPECT_THAT(lines(), IsEmpty());
        EXPECT_FALSE(exists("/etc/addons.d/HelloAddon"));
        EXPECT_EQ(userLockedOut(), 0);
    }
}

// The window manager's control file and the installer's outcome file are
// both in /tmp, where a local user may have put links to a device file.
TEST_F(AddonInstallTest, LinksALocalUserPlantsAtTheOutcomeOrWindowManagerFileAreNotWrittenThrough) {
    write("/tmp/system.conf", "[system]\nversion=6.3.0\n");
    write("/etc/victim", "precious\n");
    support::openToLocalUsers(hostPath("/tmp"));
    for (const char *name : {"/tmp/qvwm-:0.0", "/tmp/ixoAddonPipe"}) {
        std::string link = hostPath(name);
        ASSERT_EQ(support::runAsLocalUser([&] { return symlink("../etc/victim", link.c_str()); }), 0);
    }

    EXPECT_EQ(install(helloSource), Outcome{});

    EXPECT_THAT(lines(), ElementsAre(helloInstallLine, "sudo su -c \"/etc/rc.d/rc.qvwm\""));
    EXPECT_EQ(read("/etc/victim"), "precious\n");
}

TEST_F(AddonInstallTest, PackageNameIsOneArgumentAndOnlyTheExactAgentNameUpgrades) {
    // Device command lines run in "/": what the shell must not run would
    // leave files there.
    for (const std::string &addon :
         {std::string("ixo_agent"), std::string("odd name;touch owned1;$(touch owned2)`touch owned3`'q\"\\")}) {
        SCOPED_TRACE(addon);
        makePackage(addon + ".tar", {{"control", "odd\n"}});
        clearLines();
        ::unlink(hostPath("/var/log/installer.sh.argv").c_str());

        EXPECT_EQ(install("http://server/x/" + addon + ".tar"), Outcome{});

        EXPECT_EQ(read("/var/log/installer.sh.argv"),
                  argvRecord({"-f", "-p", "/tmp/ixoAddonPipe", "-l", "/tmp/" + addon + ".tar"}));
        EXPECT_THAT(lines(), ElementsAre(_, connectionManagerLine));
        EXPECT_EQ(read("/etc/addons.d/" + addon + "/control"), "odd\n");
        EXPECT_FALSE(exists("/tmp/" + addon + ".tar"));
        EXPECT_FALSE(exists("/etc/addons.d/TMP_IXO_AGENT"));
        EXPECT_FALSE(exists("/owned1") || exists("/owned2") || exists("/owned3"));
    }
}

}  // namespace
