// ixoAgent eeprom on a simulated device of each controller family, end to
// end: the values shown, the backup taken before a write, the read-back
// after it, and the EEPROM file the models keep between runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/nicModels.h"
#include "tests/e2e/agentFixture.h"
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
    std::snprintf(text, sizeof text, "%08x",
                  bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                      static_cast<unsigned int>(bytes[at + 3]) << 24);
    return text;
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
    std::vector<std::string> backups() {
        std::vector<std::string> names;
        DIR *directory = opendir((device + "/var/lib/ixo").c_str());
        if (directory == nullptr) {
            return names;
        }
        while (struct dirent *entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name.rfind("eeprom-backup-", 0) == 0) {
                names.push_back(name);
            }
        }
        closedir(directory);
        return names;
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
        EXPECT_THAT(set.out, HasSubstr("security key: took (read back 1a2b3c4d)\n"));
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
        EXPECT_EQ(keyAt(after, keyOffset), "1a2b3c4d");
        if (std::string(family) != "jmicron") {
            EXPECT_THAT(set.out, HasSubstr("checksums: active valid, full valid\n"));
        }
        // A later run of the agent finds the new key in the device.
        AgentRun show = eeprom({"show"});
        EXPECT_THAT(show.out, HasSubstr("security key: 1a2b3c4d\n"));
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

TEST_F(EepromAgentTest, ValuesAControllerDoesNotKeepAreRefused) {
    initNic("jmicron");
    std::vector<uint8_t> before = sim::nicEeprom(device);
    AgentRun show = eeprom({"show"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_THAT(show.out, HasSubstr("controller: jme (Jmicronethernet) at 0x2040\n"));
    EXPECT_THAT(show.out, HasSubstr("serial number: (not kept by this controller)\n"));
    EXPECT_THAT(show.out, HasSubstr("security key: " + keyAt(before, 0x50) + "\n"));

    AgentRun serial = eeprom({"set-serial", "ABC"});
    EXPECT_EQ(serial.exitCode, 1);
    EXPECT_THAT(serial.err, HasSubstr("keeps no serial number"));
    EXPECT_EQ(sim::nicEeprom(device), before);
    EXPECT_THAT(backups(), IsEmpty());

    support::writeFile(work + "/cmos.bin", std::string(42, '\x5a'));
    AgentRun cmos = eeprom({"set-cmos", work + "/cmos.bin"});
    EXPECT_EQ(cmos.exitCode, 1);
    EXPECT_THAT(cmos.err, HasSubstr("keeps no CMOS block"));
}

TEST_F(EepromAgentTest, RealtekWritesDoNotTake) {
    initNic("realtek");
    std::vector<uint8_t> before = sim::nicEeprom(device);
    AgentRun show = eeprom({"show"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_THAT(show.out, HasSubstr("security key: ffffffff\n"));
    EXPECT_THAT(show.out, HasSubstr("active checksum: 0xffff invalid\n"));

    AgentRun key = eeprom({"set-key", "1234"});
    EXPECT_EQ(key.exitCode, 1);
    EXPECT_THAT(key.out, HasSubstr("security key: did not take (read back ffffffff)\n"));

    support::writeFile(work + "/cmos.bin", std::string(42, '\x5a'));
    AgentRun cmos = eeprom({"set-cmos", work + "/cmos.bin"});
    EXPECT_EQ(cmos.exitCode, 1);
    EXPECT_THAT(cmos.out, HasSubstr("CMOS block: did not take"));
    support::writeFile(work + "/short.bin", std::string(41, '\x5a'));
    EXPECT_EQ(eeprom({"set-cmos", work + "/short.bin"}).exitCode, 2);
    EXPECT_EQ(sim::nicEeprom(device), before);
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
