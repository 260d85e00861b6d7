// The registry file on disk: bytes kept, new and missing files, invalid files
// left alone, attributes, links, stray temporary files, outside changes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/host/registry/registryTestSupport.h"

using ::testing::HasSubstr;

namespace {

class RegistryFile : public registrytest::RegistryTest {};

TEST_F(RegistryFile, ChangesOnlyTheLineSetAndDropsEveryCarriageReturn) {
    const std::string head = "; device settings\n\n[display]\n# resolution\n  width=1024\n";
    const std::string tail = "\n# the network\n[network]\nhost=a b \n[empty]\n\n# no keys\n";
    int handle = openWith(head + "height=768\n" + tail);
    ASSERT_EQ(reg_set(handle, "display", "height", "600"), 0);
    EXPECT_EQ(support::readFile(file()), head + "height=600\n" + tail);
    // Setting the value it already has writes nothing.
    ino_t before = inode();
    ASSERT_EQ(reg_set(handle, "display", "height", "600"), 0);
    EXPECT_EQ(inode(), before);
    // New keys go after the section's last key (or its header), new sections at the end.
    ASSERT_EQ(reg_set(handle, "display", "width", "800"), 0);
    ASSERT_EQ(reg_set(handle, "display", "depth", "16"), 0);
    ASSERT_EQ(reg_set(handle, "empty", "first", "f"), 0);
    ASSERT_EQ(reg_set(handle, "new", "k", "v"), 0);
    EXPECT_EQ(support::readFile(file()),
              "; device settings\n\n[display]\n# resolution\n  width=800\nheight=600\ndepth=16\n"
              "\n# the network\n[network]\nhost=a b \n[empty]\nfirst=f\n\n# no keys\n[new]\nk=v\n");

    // Doubled CRs once stayed in values, so every save changed untouched
    // lines; a write changes the first of two keys of a name.
    support::writeFile(file(), "[s]\r\r\nk=v\r\r\r\nk=second\r\n; note\r\r\nlast=x\r\r");
    ASSERT_EQ(reg_set(handle, "s", "k", "new"), 0);
    EXPECT_EQ(support::readFile(file()), "[s]\nk=new\nk=second\n; note\nlast=x\n");
    reg_close(handle);
}

TEST_F(RegistryFile, MissingFileIsCreatedOnFirstWriteOnly) {
    const std::string config = hostPath("/etc/addons.d/IXO_AGENT/iniFile.ini");
    int handle = reg_open("/etc/addons.d/IXO_AGENT/iniFile.ini");
    ASSERT_GT(handle, 0);
    EXPECT_EQ(get(handle, "s", "k", "d"), "d");
    EXPECT_EQ(reg_del(handle, "s"), 0);
    EXPECT_FALSE(support::exists(config));
    ASSERT_EQ(reg_set(handle, "s", "k", "v"), 0);
    EXPECT_EQ(support::readFile(config), "[s]\nk=v\n");
    EXPECT_EQ(modeOf(config), 0644u);
    reg_close(handle);

    for (const char *bad : {"/no/such/dir/system.conf", "/tmp", "", (const char *)nullptr}) {
        EXPECT_EQ(reg_open(bad), 0) << (bad ? bad : "null");
    }
}

// Values as read from a file's text, or the line that makes it no registry.
TEST_F(RegistryFile, TextsReadAsValuesOrAreRefusedAtTheirLine) {
    const struct {
        std::string text;
        const char *section, *key, *value;
    } values[] = {
        {"; top\n\n[net]\r\nkey = spaced value \n", "net", "key ", " spaced value "},
        {"[s]\n  indented=yes\n", "s", "indented", "yes"},
        {"  [ spaced section ]  \nx=1\n", " spaced section ", "x", "1"},
        // A repeated section continues the first; names are case-sensitive.
        {"[net]\n[other]\n[net]\nlate=2\r\r\n# no final newline", "net", "late", "2"},
        {"[net]\nlate=2\n", "NET", "late", "<absent>"},
        {"[s]\nk=first\nk=second\n", "s", "k", "first"},
    };
    for (const auto &c : values) {
        SCOPED_TRACE(c.text);
        int handle = openWith(c.text);
        EXPECT_EQ(get(handle, c.section, c.key), c.value);
        reg_close(handle);
    }
    const struct {
        std::string text;
        int line;
    } invalid[] = {
        {"# fine\nkey=before section\n", 2}, {"[s]\njust text\n", 2}, {"[s]\n=no key\n", 2},
        {"[s]\n[unterminated\n", 2},         {"[]\n", 1},             {"[a]b]\n", 1},
        {"[s]\nk=v\n[s] trailing\n", 3},
        // What a power cut leaves in a file written in place.
        {std::string("[s]\nk=v\0\0\0\n", 11), 2},
    };
    for (const auto &c : invalid) {
        SCOPED_TRACE(c.text);
        support::writeFile(file(), c.text);
        support::clearLog();
        EXPECT_EQ(reg_open("/tmp/system.conf"), 0);
        EXPECT_THAT(support::logText(), HasSubstr("/tmp/system.conf:" + std::to_string(c.line)));
        EXPECT_EQ(support::readFile(file()), c.text);
    }

    // Broken by hand while open: reads and writes fail, the file stays.
    const std::string broken = "[ok]\nk=v\nnot a setting\n";
    int handle = openWith("[ok]\nk=v\n");
    support::writeFile(file(), broken);
    EXPECT_EQ(get(handle, "ok", "k"), "<failed>");
    EXPECT_EQ(reg_set(handle, "ok", "k", "w"), -1);
    EXPECT_EQ(reg_del(handle, "ok"), -1);
    EXPECT_EQ(support::readFile(file()), broken);
    reg_close(handle);
}

TEST_F(RegistryFile, KeepsModeAndFollowsLinks) {
    int handle = openWith("[s]\nk=v\n");
    ASSERT_EQ(chmod(file().c_str(), 0600), 0);
    ASSERT_EQ(reg_set(handle, "s", "k", "w"), 0);
    EXPECT_EQ(modeOf(file()), 0600u);
    reg_close(handle);

    // Link targets are device paths: relative to the link, or from the root.
    const std::string home = hostPath("/home/root/system.conf");
    for (const char *target : {"../../tmp/system.conf", "/tmp/system.conf"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(unlink(home.c_str()), 0);
        ASSERT_EQ(symlink(target, home.c_str()), 0);
        handle = reg_open("/home/root/system.conf");
        ASSERT_EQ(reg_set(handle, "s", "via", target), 0);
        reg_close(handle);
        EXPECT_EQ(support::readFile(file()), "[s]\nk=w\nvia=" + std::string(target) + "\n");
        struct stat link;
        ASSERT_EQ(lstat(home.c_str(), &link), 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode));
    }
    // A link another user planted could lead anywhere.
    ASSERT_EQ(lchown(home.c_str(), 1234, 1234), 0);
    EXPECT_EQ(reg_open("/home/root/system.conf"), 0);
    EXPECT_THAT(support::logText(), HasSubstr("not following symbolic link"));
}

// /tmp is open to every user: one may create the registry before root does.
TEST_F(RegistryFile, FilePlantedByAnotherUserBecomesRootsOnWrite) {
    const std::string path = file();
    support::openToLocalUsers(hostPath("/tmp"));
    ASSERT_TRUE(unlink(path.c_str()) == 0 || errno == ENOENT);
    ASSERT_EQ(support::runAsLocalUser([&] {
                  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
                  return fd < 0 || fchmod(fd, 0666) != 0 || write(fd, "[s]\nk=v\n", 8) != 8;
              }),
              0);
    int handle = reg_open("/tmp/system.conf");
    ASSERT_GT(handle, 0);
    ASSERT_EQ(reg_set(handle, "s", "k", "root's"), 0);
    reg_close(handle);
    struct stat info = status(path);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_gid, getegid());
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(support::readFile(path), "[s]\nk=root's\n");
}

TEST_F(RegistryFile, NextWriteRemovesOnlyAKilledWritersTempFile) {
    int handle = openWith("[s]\nk=v\n");
    const std::string stray = hostPath("/tmp/.system.conf.tmpAb12Z9");
    support::writeFile(stray, "[s]\nk=half");
    const char *others[] = {"/tmp/.system.conf.tmp", "/tmp/system.conf.tmpAb12Z9",
                            "/tmp/.other.conf.tmpAb12Z9"};
    for (const char *other : others) {
        support::writeFile(hostPath(other), "x");
    }
    EXPECT_EQ(get(handle, "s", "k"), "v");
    ASSERT_EQ(reg_set(handle, "s", "k", "w"), 0);
    EXPECT_FALSE(support::exists(stray));
    for (const char *other : others) {
        EXPECT_TRUE(support::exists(hostPath(other))) << other;
    }
    reg_close(handle);
}

TEST_F(RegistryFile, HandlesSeeEachOtherAndOutsideChanges) {
    int first = openWith("[s]\nk=v\n");
    int second = reg_open("/tmp/system.conf");
    ASSERT_GT(second, 0);
    ASSERT_EQ(reg_set(first, "s", "k", "from first"), 0);
    EXPECT_EQ(get(second, "s", "k"), "from first");
    ASSERT_EQ(reg_set(second, "s", "other", "2"), 0);
    ASSERT_EQ(reg_set(first, "s", "k", "again"), 0);
    EXPECT_EQ(support::readFile(file()), "[s]\nk=again\nother=2\n");
    // Rewritten in place by another program: same inode, other size.
    support::writeFile(file(), "[s]\nk=outside\n");
    EXPECT_EQ(get(first, "s", "k"), "outside");
    EXPECT_EQ(get(first, "s", "other"), "<absent>");
    ASSERT_EQ(unlink(file().c_str()), 0);
    EXPECT_EQ(get(second, "s", "k"), "<absent>");
    reg_close(first);
    reg_close(second);
}

}  // namespace
