// ixoAgent eeprom on a simulated device of each controller family, end to
// end: the values shown, and those the family does not store; the backup
// taken before a write, the read-back after it, restores and dry runs, and
// the EEPROM file the models keep between runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/nicModels.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

using e2e::AgentRun;

std::string hex(const std::vector<uint8_t> &bytes, size_t first, size_t count,
                const char *separator) {
    std::string text;
    char part[4];
    for (size_t at = first; at < first + count; ++at) {
        std::snprintf(part, sizeof part, "%02x", bytes[at]);
        text += (at > first ? separator : "") + std::string(part);
    }
    return text;
}

std::string keyAt(const std::vector<uint8_t> &bytes, size_t at) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X",
                  bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                      static_cast<unsigned int>(bytes[at + 3]) << 24);
    return text;
}

std::vector<uint8_t> bytesOfFile(const std::string &path) {
    std::string content = support::readFile(path);
    return std::vector<uint8_t>(content.begin(), content.end());
}

class EepromAgentTest : public e2e::AgentEndToEnd {
protected:
    void initNic(const std::string &family) {
        AgentRun init = agent({"sim-init", "--nic", family, device});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
    AgentRun eeprom(const std::vector<std::string> &arguments) {
        std::vector<std::string> words = {"--device-root", device, "--log-level", "1", "eeprom"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return agent(words);
    }
    // The backup images (not their info files).
    std::vector<std::string> backups() {
        std::vector<std::string> names;
        DIR *directory = opendir((device + "/var/lib/ixo").c_str());
        if (directory == nullptr) {
            return names;
        }
        while (struct dirent *entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name.rfind("eeprom-backup-", 0) == 0 && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".bin") == 0) {
                names.push_back(name);
            }
        }
        closedir(directory);
        return names;
    }
    // An image file as a backup, with its info file unless family is "".
    std::string backupFile(const std::string &name, const std::vector<uint8_t> &image,
                           const std::string &family) {
        std::string path = work + "/" + name;
        support::writeFile(path, std::string(image.begin(), image.end()));
        if (!family.empty()) {
            support::writeFile(path + ".info", "family=" + family + "\n");
        }
        return path;
    }
    // The path the agent reported for its backup.
    std::string reportedBackup(const std::string &out) {
        const std::string label = "backup of the EEPROM image: ";
        size_t at = out.find(label);
        if (at == std::string::npos) {
            return "";
        }
        at += label.size();
        return out.substr(at, out.find('\n', at) - at);
    }
};

TEST_F(EepromAgentTest, ShowOnRhineAndVelocity) {
    for (const char *family : {"rhine", "velocity"}) {
        initNic(family);
        std::vector<uint8_t> image = sim::nicEeprom(device);
        ASSERT_EQ(image.size(), 128u);
        AgentRun show = eeprom({"show"});
        EXPECT_EQ(show.exitCode, 0) << show.err;
        EXPECT_THAT(show.out, StartsWith("Found a VIA Technologies adapter at 0x"));
        EXPECT_THAT(show.out, HasSubstr(std::string("controller: ") +
                                        (family == std::string("rhine") ? "ViaRhine" : "Velocity") +
                                        " (VIA Technologies) at 0x"));
        EXPECT_THAT(show.out, HasSubstr("station address: " + hex(image, 0, 6, ":") + "\n"));
        EXPECT_THAT(show.out, HasSubstr("serial number: " +
                                        std::string(image.begin() + 52, image.begin() + 63) + "\n"));
        EXPECT_THAT(show.out, HasSubstr("security key: " + keyAt(image, 44) + "\n"));
        EXPECT_THAT(show.out, HasSubstr("hardware revision: "));
        EXPECT_THAT(show.out, HasSubstr("active checksum: 0x" + hex(image, 31, 1, "") + " valid\n"));
        EXPECT_THAT(show.out, HasSubstr("full checksum: 0x" + hex(image, 127, 1, "") +
                                        hex(image, 126, 1, "") + " valid\n"));
        EXPECT_EQ(sim::nicEeprom(device), image);
    }
}

TEST_F(EepromAgentTest, SetKeyBacksUpWritesAndPersists) {
    for (const char *family : {"rhine", "velocity", "jmicron"}) {
        SCOPED_TRACE(family);
        support::removeTree(device);
        initNic(family);
        std::vector<uint8_t> before = sim::nicEeprom(device);
        size_t keyOffset = std::string(family) == "jmicron" ? 0x50 : 44;

        AgentRun set = eeprom({"set-key", "1A2B3C4D"});
        EXPECT_EQ(set.exitCode, 0) << set.err;
        EXPECT_THAT(set.out, HasSubstr("security key: took (read back 1A2B3C4D)\n"));
        std::string backup = reportedBackup(set.out);
        EXPECT_THAT(backup, StartsWith(device + "/var/lib/ixo/eeprom-backup-"));
        // The image as read before the write.
        std::string saved = support::readFile(backup);
        ASSERT_EQ(saved.size(), 128u);
        size_t windowStart = std::string(family) == "jmicron" ? 0x40 : 0;
        size_t windowBytes = std::string(family) == "jmicron" ? 25 : 128;
        EXPECT_EQ(saved.substr(0, windowBytes),
                  std::string(before.begin() + windowStart,
                              before.begin() + windowStart + windowBytes));

        std::vector<uint8_t> after = sim::nicEeprom(device);
        EXPECT_EQ(keyAt(after, keyOffset), "1A2B3C4D");
        EXPECT_THAT(set.out, HasSubstr(std::string("read back: all ") +
                                       (windowBytes == 25 ? "25 bytes" : "64 words") +
                                       " as written\n"));
        EXPECT_THAT(set.out, Not(HasSubstr("invalid")));
        // Beside the backup: the family it came from, the controller, when.
        std::string info = support::readFile(backup + ".info");
        EXPECT_THAT(info, StartsWith(std::string("family=") + family + "\ncontroller="));
        EXPECT_THAT(info, HasSubstr("\nioBase=0x"));
        EXPECT_THAT(info, HasSubstr("\ntime=20"));
        // A later run of the agent finds the new key in the device.
        AgentRun show = eeprom({"show"});
        EXPECT_THAT(show.out, HasSubstr("security key: 1A2B3C4D\n"));
    }
}

TEST_F(EepromAgentTest, SetSerialOnRhine) {
    initNic("rhine");
    AgentRun set = eeprom({"set-serial", "TC-2024-007"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_THAT(set.out, HasSubstr("serial number: took (read back \"TC-2024-007\")\n"));
    std::vector<uint8_t> image = sim::nicEeprom(device);
    EXPECT_EQ(std::string(image.begin() + 52, image.begin() + 63), "TC-2024-007");
    unsigned int bytes = 0;
    unsigned int words = 0;
    for (int at = 0; at < 32; ++at) {
        bytes += image[at];
    }
    for (int word = 0; word < 64; ++word) {
        words += image[2 * word] | image[2 * word + 1] << 8;
    }
    EXPECT_EQ(bytes % 256, 0u);
    EXPECT_EQ(words % 65536, 0u);

    // A shorter serial number is padded with zero bytes.
    set = eeprom({"set-serial", "X1"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_THAT(eeprom({"show"}).out, HasSubstr("serial number: X1\n"));
    EXPECT_EQ(backups().size(), 2u);
}

TEST_F(EepromAgentTest, RefusedArgumentsChangeNothing) {
    initNic("rhine");
    std::vector<uint8_t> before = sim::nicEeprom(device);
    for (const std::vector<std::string> &arguments :
         std::vector<std::vector<std::string>>{{"set-serial", "TWELVE-CHARS"},
                                               {"set-serial", "tab\there"},
                                               {"set-key", "123456789"},
                                               {"set-key", "xyz"},
                                               {"set-cmos", "/nonexistent"},
                                               {"restore", "/nonexistent"},
                                               {"restore", "--family", "pcnet", "/dev/null"},
                                               {"set-key"},
                                               {"frob"},
                                               {}}) {
        AgentRun run = eeprom(arguments);
        EXPECT_EQ(run.exitCode, 2) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_THAT(run.out, IsEmpty());
    }
    EXPECT_EQ(sim::nicEeprom(device), before);
    EXPECT_THAT(backups(), IsEmpty());
}

TEST_F(EepromAgentTest, ValuesTheControllerDoesNotStoreAreNeitherShownNorWritten) {
    std::string cmos = work + "/cmos.bin";
    support::writeFile(cmos, std::string(42, '\x5a'));
    std::string fill = backupFile("fill.bin", std::vector<uint8_t>(128, 0xFF), "");
    const std::vector<std::string> labels = {"station address",   "serial number",
                                             "security key",      "hardware revision",
                                             "active checksum",   "full checksum"};
    struct Case {
        const char *family;
        std::vector<std::string> notStored;  // the labels of show that say so
        int keyOffset;                       // in the EEPROM; -1: not stored
        std::vector<std::vector<std::string>> refused;
        const char *reason;
    };
    const Case cases[] = {
        {"jmicron",
         {"station address", "serial number", "hardware revision", "active checksum",
          "full checksum"},
         0x50,
         {{"set-serial", "ABC"}, {"set-cmos", cmos}},
         "the JMicron's EEPROM window holds only the security key"},
        // The library's Realtek values are its fill: all ones.
        {"realtek",
         labels,
         -1,
         {{"set-key", "1234"}, {"set-serial", "ABC"}, {"set-cmos", cmos},
          {"restore", "--family", "realtek", fill}},
         "the library's Realtek operations never reach the EEPROM"},
        {"rhine", {}, 44, {{"set-cmos", cmos}}, "a VIA controller's EEPROM holds no CMOS block"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.family);
        initNic(c.family);
        std::vector<uint8_t> before = sim::nicEeprom(device);
        AgentRun show = eeprom({"show"});
        EXPECT_EQ(show.exitCode, 0) << show.err;
        AgentRun inventory = agent({"--device-root", device, "--log-level", "1", "inventory"});
        EXPECT_EQ(inventory.exitCode, 0) << inventory.err;
        for (const std::string &label : labels) {
            bool notStored = std::find(c.notStored.begin(), c.notStored.end(), label) !=
                             c.notStored.end();
            EXPECT_EQ(show.out.find(label + ": not stored by this controller\n") !=
                          std::string::npos,
                      notStored)
                << label;
        }
        std::string key = c.keyOffset < 0 ? "not stored by this controller"
                                           : keyAt(before, static_cast<size_t>(c.keyOffset));
        EXPECT_THAT(inventory.out, HasSubstr("Security key    " + key + "\n"));
        EXPECT_EQ(inventory.out.find("Serial number   not stored by this controller\n") !=
                      std::string::npos,
                  std::string(c.family) != "rhine");
        if (c.keyOffset >= 0) {
            EXPECT_THAT(show.out, HasSubstr("security key: " + key + "\n"));
        }
        EXPECT_THAT(show.out + inventory.out, Not(HasSubstr("FFFFFFFF")));

        for (const std::vector<std::string> &arguments : c.refused) {
            AgentRun write = eeprom(arguments);
            EXPECT_EQ(write.exitCode, 1) << arguments[0];
            EXPECT_THAT(write.err, HasSubstr(c.reason)) << arguments[0];
            EXPECT_THAT(write.out, Not(HasSubstr("backup"))) << arguments[0];
        }
        EXPECT_EQ(sim::nicEeprom(device), before);
        EXPECT_THAT(backups(), IsEmpty());
    }
}

TEST_F(EepromAgentTest, RestoreBringsBackTheImageOfTheBackup) {
    for (const char *family : {"rhine", "velocity", "jmicron"}) {
        SCOPED_TRACE(family);
        initNic(family);
        bool jmicron = std::string(family) == "jmicron";
        size_t windowStart = jmicron ? 0x40 : 0;
        size_t windowBytes = jmicron ? 25 : 128;
        size_t imageKey = jmicron ? 16 : 44;
        AgentRun set = eeprom({"set-key", "1A2B3C4D"});
        ASSERT_EQ(set.exitCode, 0) << set.err;
        std::string backup = reportedBackup(set.out);

        AgentRun restore = eeprom({"restore", backup});
        EXPECT_EQ(restore.exitCode, 0) << restore.err;
        EXPECT_THAT(restore.out, HasSubstr("read back: all "));
        std::vector<uint8_t> now = sim::nicEeprom(device);
        EXPECT_EQ(std::string(now.begin() + static_cast<long>(windowStart),
                              now.begin() + static_cast<long>(windowStart + windowBytes)),
                  support::readFile(backup).substr(0, windowBytes));
        // The image written over was saved first.
        std::vector<uint8_t> replaced = bytesOfFile(reportedBackup(restore.out));
        ASSERT_EQ(replaced.size(), 128u);
        EXPECT_EQ(keyAt(replaced, imageKey), "1A2B3C4D");
    }
}

TEST_F(EepromAgentTest, RestoreRefusesAnImageItCannotTrust) {
    initNic("rhine");
    std::vector<uint8_t> factory = sim::nicEeprom(device);
    std::vector<uint8_t> image = factory;
    image[52] = 'Z';
    std::string old = backupFile("old.bin", image, "");
    struct Case {
        const char *name;
        std::vector<std::string> arguments;
        int exitCode;
        std::string error;
    };
    const Case cases[] = {
        {"an image of another size",
         {"restore", backupFile("short.bin", {factory.begin(), factory.end() - 1}, "rhine")},
         2,
         "holds 127 bytes; an EEPROM image is 128"},
        {"another family's image",
         {"restore", backupFile("velocity.bin", image, "velocity")},
         1,
         "holds an image of a velocity controller; this device's is a rhine"},
        {"an older backup that does not say its family",
         {"restore", old},
         2,
         "to say which controller family it was taken from: give it with --family"},
        {"a family against the info file",
         {"restore", "--family", "velocity", backupFile("rhine.bin", image, "rhine")},
         2,
         "says the image is of a rhine"},
        {"a window image with data after the window",
         {"restore", backupFile("window.bin", std::vector<uint8_t>(128, 0), "jmicron")},
         2,
         "is no jmicron image"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AgentRun restore = eeprom(c.arguments);
        EXPECT_EQ(restore.exitCode, c.exitCode);
        EXPECT_THAT(restore.err, HasSubstr(c.error));
    }
    EXPECT_EQ(sim::nicEeprom(device), factory);
    EXPECT_THAT(backups(), IsEmpty());

    AgentRun restore = eeprom({"restore", "--family", "rhine", old});
    EXPECT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(sim::nicEeprom(device), image);
}

TEST_F(EepromAgentTest, RestoreReportsWordsTheEepromDidNotTake) {
    initNic("rhine");
    std::vector<uint8_t> image = sim::nicEeprom(device);
    ASSERT_EQ(keyAt(image, 44), "5A3C96E1");
    image[44] = 0x1e;
    std::string backup = backupFile("image.bin", image, "rhine");
    // Programming is acknowledged, but the cells keep their content.
    sim::setKnob(device, "nic.fault", "stuck");
    AgentRun restore = eeprom({"restore", backup});
    EXPECT_EQ(restore.exitCode, 1);
    EXPECT_THAT(restore.out, HasSubstr("  word 0x16: wrote 0x961e, read back 0x96e1\n"
                                       "read back: 1 of 64 words differ from what was written\n"));
}

TEST_F(EepromAgentTest, DryRunWritesNothingAndTakesNoBackup) {
    // The factory images: rhine key 0x5A3C96E1 and full checksum 0x05c2,
    // velocity serial "7T5V2087341", jmicron key 0xC7E2193B.
    std::vector<uint8_t> stale(128, 0);
    struct Case {
        const char *family;
        std::vector<std::string> arguments;
        std::vector<std::string> printed;
    };
    std::vector<Case> cases = {
        {"rhine",
         {"set-key", "--dry-run", "1A2B3C4D"},
         {"dry run: 3 words would change; nothing is written\n",
          "  word 0x16: 0x96e1 -> 0x3c4d\n  word 0x17: 0x5a3c -> 0x1a2b\n  word 0x3f: 0x05c2 -> ",
          "after the write, checksums: active 0x13 valid, full 0x"}},
        // The image's full checksum is not made to fit: a restore writes it
        // as it is.
        {"rhine",
         {"restore", "--dry-run", ""},
         {"dry run: 1 word would change", "  word 0x1a: 0x5437 -> 0x545a\n",
          "after the write, checksums: active 0x13 valid, full 0x05c2 invalid\n"}},
        {"velocity",
         {"set-serial", "X1", "--dry-run"},
         {"  word 0x1a: 0x5437 -> 0x3158\n", "after the write, checksums: active 0x"}},
        {"jmicron",
         {"set-key", "DEADBEEF", "--dry-run"},
         {"dry run: 4 bytes would change; nothing is written\n  byte 0x50: 0x3b -> 0xef\n",
          "after the write, checksums: not stored by this controller\n"}},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.family + (" " + c.arguments[0]));
        initNic(c.family);
        std::vector<uint8_t> before = sim::nicEeprom(device);
        if (c.arguments[0] == "restore") {
            std::vector<uint8_t> image = before;
            image[52] = 'Z';
            c.arguments.back() = backupFile("image.bin", image, c.family);
        }
        AgentRun run = eeprom(c.arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const std::string &text : c.printed) {
            EXPECT_THAT(run.out, HasSubstr(text));
        }
        EXPECT_EQ(sim::nicEeprom(device), before);
        EXPECT_THAT(backups(), IsEmpty());
    }
}

TEST_F(EepromAgentTest, RealDeviceWritesNeedYesBeforeAnythingIsTouched) {
    // A library that cannot be loaded stops every run before this machine is
    // touched; a run the refusal did not stop ends with that failure instead.
    std::string library = work + "/no-such-library.so";
    std::string cmos = work + "/cmos.bin";
    support::writeFile(cmos, std::string(42, '\x5a'));
    std::string image = backupFile("image.bin", std::vector<uint8_t>(128, 0x11), "rhine");
    for (const std::vector<std::string> &write : std::vector<std::vector<std::string>>{
             {"set-key", "1"}, {"set-serial", "A"}, {"set-cmos", cmos}, {"restore", image}}) {
        SCOPED_TRACE(write[0]);
        std::vector<std::string> arguments = {"--real-device", "--library", library, "eeprom"};
        arguments.insert(arguments.end(), write.begin(), write.end());
        AgentRun refused = agent(arguments);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_THAT(refused.err, HasSubstr("(--real-device) needs --yes; nothing was touched"));
        EXPECT_THAT(refused.err, Not(HasSubstr(library)));
        for (const char *confirmation : {"--yes", "--dry-run"}) {
            arguments.push_back(confirmation);
            AgentRun passed = agent(arguments);
            arguments.pop_back();
            EXPECT_EQ(passed.exitCode, 2) << confirmation;
            EXPECT_THAT(passed.err, HasSubstr("cannot load " + library)) << confirmation;
        }
    }
}

TEST_F(EepromAgentTest, DumpPrintsTheImage) {
    initNic("velocity");
    std::vector<uint8_t> image = sim::nicEeprom(device);
    AgentRun dump = eeprom({"dump"});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    std::string rule(56, '=');
    EXPECT_THAT(dump.out, HasSubstr(rule + "\n0000    "));
    char line[80];
    std::snprintf(line, sizeof line, "0070    %02X %02X %02X %02X %02X %02X %02X %02X  %02X ",
                  image[112], image[113], image[114], image[115], image[116], image[117],
                  image[118], image[119], image[120]);
    EXPECT_THAT(dump.out, HasSubstr(line));
    EXPECT_THAT(dump.out, HasSubstr("\n" + rule + "\n\n"));
}

TEST_F(EepromAgentTest, DeviceWithoutASupportedController) {
    initNic("rhine");
    support::writeFile(device + "/proc/bus/pci/devices",
                       "0000\t11060601\t0\t00000000\t00000000\n");
    AgentRun show = eeprom({"show"});
    EXPECT_EQ(show.exitCode, 1);
    EXPECT_EQ(show.out, "No ethernet device not found \n");
    EXPECT_THAT(show.err, HasSubstr("cannot read the network controller's EEPROM"));
    AgentRun set = eeprom({"set-key", "1"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_THAT(set.out, Not(HasSubstr("backup")));
}

}  // namespace
