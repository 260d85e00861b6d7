// ixoAgent eeprom on a simulated device of each controller family, end to
// end: the values shown, as text, as JSON and in the inventory, and those the
// family does not store; the backup taken before a write, the read-back after
// it, restores and dry runs, and the EEPROM file the models keep between runs.

#include <cstdio>

#include "sim/nicModels.h"
#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

std::string keyAt(const std::vector<uint8_t> &bytes, size_t at) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X",
                  bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                      static_cast<unsigned int>(bytes[at + 3]) << 24);
    return text;
}

class EepromAgentTest : public e2e::AgentEndToEnd {
protected:
    AgentRun eeprom(Words arguments) {
        arguments.insert(arguments.begin(), {"--log-level", "1", "eeprom"});
        return onDevice(arguments);
    }
    // The backup images (not their info files) the agent keeps.
    size_t backups() {
        size_t count = 0;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(device + "/var/lib/ixo", error)) {
            count += entry.path().extension() == ".bin";
        }
        return count;
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
    static std::string reportedBackup(const std::string &out) {
        const std::string label = "backup of the EEPROM image: ";
        size_t at = out.find(label);
        return at == std::string::npos ? "" : out.substr(at + label.size(),
                                                         out.find('\n', at) - at - label.size());
    }
};

TEST_F(EepromAgentTest, EepromAndInventoryJsonHoldWhatTheTextShowsAndNoFillAsAValue) {
    std::string cmos = work + "/cmos.bin";
    support::writeFile(cmos, std::string(42, '\x5a'));
    std::string fill = backupFile("fill.bin", std::vector<uint8_t>(128, 0xFF), "");
    const std::vector<std::pair<std::string, std::string>> labels = {
        {"stationAddress", "station address"},   {"serialNumber", "serial number"},
        {"securityKey", "security key"},         {"hardwareRevision", "hardware revision"},
        {"activeChecksum", "active checksum"},   {"fullChecksum", "full checksum"}};
    const struct {
        const char *family;
        std::string stored;  // "all", the one value stored, or "none"
        int keyOffset;  // in the EEPROM; -1: not stored
        std::vector<Words> refused;
        const char *reason;
    } cases[] = {
        {"rhine", "all", 44, {{"set-cmos", cmos}}, "a VIA controller's EEPROM holds no CMOS block"},
        {"jmicron", "securityKey", 0x50,
         {{"set-serial", "ABC"}, {"set-cmos", cmos}},
         "the JMicron's EEPROM window holds only the security key"},
        // The library's Realtek values are its fill: all ones.
        {"realtek", "none", -1,
         {{"set-key", "1234"}, {"set-serial", "ABC"}, {"set-cmos", cmos},
          {"restore", "--family", "realtek", fill}},
         "the library's Realtek operations never reach the EEPROM"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.family);
        support::removeTree(device);
        initDevice({"--nic", c.family});
        std::vector<uint8_t> image = sim::nicEeprom(device);
        auto isStored = [&c](const std::string &key) { return c.stored == "all" || c.stored == key; };
        AgentRun show = eeprom({"show"});
        EXPECT_EQ(show.exitCode, 0) << show.err;
        Json values = parsed(eeprom({"show", "--json"}));
        EXPECT_EQ(values["controller"]["family"], c.family);
        EXPECT_EQ(values["values"].size(), labels.size());
        for (const auto &[key, label] : labels) {
            Json &value = values["values"][key];
            EXPECT_EQ(value["stored"], isStored(key)) << key;
            std::string line = label + ": ";
            if (value["stored"] == true) {
                line += value["value"].get<std::string>();
                if (value.contains("valid")) {
                    line += value["valid"] == true ? " valid" : " invalid";
                }
            } else {
                EXPECT_EQ(value["value"], nullptr) << key;
                line += "not stored by this controller";
            }
            EXPECT_THAT(show.out, HasSubstr(line + "\n"));
        }
        std::string key = c.keyOffset < 0 ? "not stored by this controller"
                                           : keyAt(image, static_cast<size_t>(c.keyOffset));
        if (c.keyOffset >= 0) {
            EXPECT_EQ(values["values"]["securityKey"]["value"], key);
        }
        if (isStored("serialNumber")) {
            EXPECT_EQ(values["values"]["serialNumber"]["value"],
                      std::string(image.begin() + 52, image.begin() + 63));
        }

        // The inventory shows the same, and the values not stored as such.
        AgentRun summary = onDevice({"--log-level", "1", "inventory"});
        EXPECT_THAT(summary.out, HasSubstr("Security key    " + key + "\n"));
        EXPECT_EQ(summary.out.find("Serial number   not stored by this controller\n") !=
                      std::string::npos,
                  !isStored("serialNumber"));
        Json inventory = parsed(onDevice({"--log-level", "1", "inventory", "--json"}));
        for (std::string field : {"serialNumber", "securityKey"}) {
            EXPECT_EQ(inventory["device"][field], values["values"][field]) << field;
        }
        EXPECT_THAT(show.out + summary.out, Not(HasSubstr("FFFFFFFF")));

        for (const Words &arguments : c.refused) {
            AgentRun write = eeprom(arguments);
            EXPECT_EQ(write.exitCode, 1) << arguments[0];
            EXPECT_THAT(write.err, HasSubstr(c.reason)) << arguments[0];
            EXPECT_THAT(write.out, Not(HasSubstr("backup"))) << arguments[0];
        }
        EXPECT_EQ(sim::nicEeprom(device), image);
        EXPECT_EQ(backups(), 0u);
    }
}

TEST_F(EepromAgentTest, WriteIsBackedUpReadBackKeptAndRestored) {
    for (const char *family : {"rhine", "jmicron"}) {
        SCOPED_TRACE(family);
        support::removeTree(device);
        initDevice({"--nic", family});
        std::vector<uint8_t> before = sim::nicEeprom(device);
        bool jmicron = std::string(family) == "jmicron";
        size_t windowStart = jmicron ? 0x40 : 0;
        size_t windowBytes = jmicron ? 25 : 128;

        AgentRun dryRun = eeprom({"set-key", "--dry-run", "1A2B3C4D"});
        EXPECT_EQ(dryRun.exitCode, 0) << dryRun.err;
        EXPECT_THAT(dryRun.out, HasSubstr(jmicron ? "dry run: 4 bytes would change; nothing is written\n"
                                                    "  byte 0x50: 0x3b -> 0x4d\n"
                                                  : "dry run: 3 words would change"));
        EXPECT_EQ(sim::nicEeprom(device), before);
        EXPECT_EQ(backups(), 0u);

        AgentRun set = eeprom({"set-key", "1A2B3C4D"});
        EXPECT_EQ(set.exitCode, 0) << set.err;
        EXPECT_THAT(set.out, HasSubstr("security key: took (read back 1A2B3C4D)\n"));
        EXPECT_THAT(set.out, HasSubstr(std::string("read back: all ") +
                                       (jmicron ? "25 bytes" : "64 words") + " as written\n"));
        EXPECT_THAT(set.out, Not(HasSubstr("invalid")));
        std::string backup = reportedBackup(set.out);
        EXPECT_THAT(backup, StartsWith(device + "/var/lib/ixo/eeprom-backup-"));
        // The image as read before the write.
        std::string saved = support::readFile(backup);
        ASSERT_EQ(saved.size(), 128u);
        EXPECT_EQ(saved.substr(0, windowBytes),
                  std::string(before.begin() + windowStart,
                              before.begin() + windowStart + windowBytes));
        EXPECT_EQ(keyAt(sim::nicEeprom(device), jmicron ? 0x50 : 44), "1A2B3C4D");
        // Beside the backup: the family it came from.
        std::string info = support::readFile(backup + ".info");
        EXPECT_THAT(info, StartsWith(std::string("family=") + family + "\ncontroller="));

        AgentRun restore = eeprom({"restore", backup});
        EXPECT_EQ(restore.exitCode, 0) << restore.err;
        EXPECT_THAT(restore.out, HasSubstr("read back: all "));
        EXPECT_EQ(sim::nicEeprom(device), before);
        // The image written over was saved first.
        std::string replaced = support::readFile(reportedBackup(restore.out));
        ASSERT_EQ(replaced.size(), 128u);
        EXPECT_EQ(keyAt(std::vector<uint8_t>(replaced.begin(), replaced.end()), jmicron ? 16 : 44),
                  "1A2B3C4D");
        EXPECT_EQ(backups(), 2u);
        if (jmicron) {
            continue;
        }
        // A value that begins with "-" follows "--"; the checksums are kept.
        AgentRun serial = eeprom({"set-serial", "--", "-X"});
        EXPECT_EQ(serial.exitCode, 0) << serial.err;
        EXPECT_THAT(serial.out, HasSubstr("serial number: took (read back \"-X\")\nchecksums: active 0x"));
        EXPECT_THAT(serial.out, Not(HasSubstr("invalid")));
        std::vector<uint8_t> image = sim::nicEeprom(device);
        EXPECT_EQ(std::string(image.begin() + 52, image.begin() + 63), "-X" + std::string(9, '\0'));
    }
}

TEST_F(EepromAgentTest, RefusalsChangeNothingAndARestoreReportsWordsNotTaken) {
    initDevice();
    std::vector<uint8_t> factory = sim::nicEeprom(device);
    std::vector<uint8_t> image = factory;
    image[52] = 'Z';
    std::string old = backupFile("old.bin", image, "");
    const struct {
        Words arguments;
        int exitCode;
        std::string error;
    } cases[] = {
        {{"set-serial", "TWELVE-CHARS"}, 2, ""},
        {{"set-serial", "tab\there"}, 2, ""},
        {{"set-key", "123456789"}, 2, ""},
        {{"restore", "--family", "pcnet", "/dev/null"}, 2, ""},
        {{"restore", backupFile("short.bin", {factory.begin(), factory.end() - 1}, "rhine")}, 2,
         "holds 127 bytes; an EEPROM image is 128"},
        {{"restore", backupFile("velocity.bin", image, "velocity")}, 1,
         "holds an image of a velocity controller; this device's is a rhine"},
        {{"restore", old}, 2,
         "to say which controller family it was taken from: give it with --family"},
        {{"restore", "--family", "velocity", backupFile("rhine.bin", image, "rhine")}, 2,
         "says the image is of a rhine"},
        {{"restore", backupFile("window.bin", std::vector<uint8_t>(128, 0), "jmicron")}, 2,
         "is no jmicron image"},
    };
    for (const auto &c : cases) {
        AgentRun run = eeprom(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << e2e::joined(c.arguments);
        EXPECT_THAT(run.err, HasSubstr(c.error)) << e2e::joined(c.arguments);
        EXPECT_TRUE(c.exitCode != 2 || run.out.empty()) << e2e::joined(c.arguments);
    }
    EXPECT_EQ(sim::nicEeprom(device), factory);
    EXPECT_EQ(backups(), 0u);

    // The image's full checksum is not made to fit: a restore writes it as
    // it is.
    AgentRun dryRun = eeprom({"restore", "--dry-run", "--family", "rhine", old});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.err;
    EXPECT_THAT(dryRun.out, HasSubstr("dry run: 1 word would change; nothing is written\n"
                                      "  word 0x1a: 0x5437 -> 0x545a\n"
                                      "after the write, checksums: active 0x13 valid, full 0x05c2 invalid\n"));
    EXPECT_EQ(sim::nicEeprom(device), factory);
    EXPECT_EQ(backups(), 0u);
    AgentRun restore = eeprom({"restore", "--family", "rhine", old});
    EXPECT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(sim::nicEeprom(device), image);

    // Programming is acknowledged, but the cells keep their content.
    sim::setKnob(device, "nic.fault", "stuck");
    image[44] ^= 0xff;
    AgentRun stuck = eeprom({"restore", backupFile("stuck.bin", image, "rhine")});
    EXPECT_EQ(stuck.exitCode, 1);
    EXPECT_THAT(stuck.out, HasSubstr("  word 0x16: wrote 0x961e, read back 0x96e1\n"
                                     "read back: 1 of 64 words differ from what was written\n"));

    AgentRun dump = eeprom({"dump"});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_THAT(dump.out, HasSubstr("\n0070    "));
    // Without a controller there is no EEPROM to show or write.
    support::writeFile(device + "/proc/bus/pci/devices", "0000\t11060601\t0\t00000000\t00000000\n");
    AgentRun show = eeprom({"show"});
    EXPECT_EQ(show.exitCode, 1);
    EXPECT_EQ(show.out, "No ethernet device not found \n");
    EXPECT_THAT(show.err, HasSubstr("cannot read the network controller's EEPROM"));
    AgentRun set = eeprom({"set-key", "1"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_THAT(set.out, Not(HasSubstr("backup")));
}

TEST_F(EepromAgentTest, RealDeviceWritesNeedYesBeforeAnythingIsTouched) {
    // A library that cannot be loaded stops every run before this machine is
    // touched; a run the refusal did not stop ends with that failure instead.
    std::string library = work + "/no-such-library.so";
    std::string image = backupFile("image.bin", std::vector<uint8_t>(128, 0x11), "rhine");
    // The value writes share one check, the restore has its own.
    for (const Words &write : std::vector<Words>{{"set-key", "1"}, {"restore", image}}) {
        for (std::string confirmation : {"", "--yes", "--dry-run"}) {
            Words arguments = {"--real-device", "--library", library, "eeprom"};
            arguments.insert(arguments.end(), write.begin(), write.end());
            if (!confirmation.empty()) {
                arguments.push_back(confirmation);
            }
            AgentRun run = agent(arguments);
            EXPECT_EQ(run.exitCode, 2) << joined(arguments);
            EXPECT_THAT(run.err, HasSubstr(confirmation.empty()
                                               ? "(--real-device) needs --yes; nothing was touched"
                                               : "cannot load " + library))
                << joined(arguments);
        }
    }
}

}  // namespace
}  // namespace e2e
