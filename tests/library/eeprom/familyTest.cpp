// The transfers, the whole-image calls and what the library reports about the
// controller it found, for each controller family against the models of the
// simulated device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::Each;
using ::testing::HasSubstr;

namespace {

using eepromtest::bytesOf;
using eepromtest::Record;
using eepromtest::wordAt;
using Image = std::vector<uint8_t>;

// A value of the record: where a read takes it from in the image and how many
// bytes it hands out, where a write puts it and how many bytes it takes (none:
// a checksum, which the write computes).
struct Value {
    int slot;
    int readOffset, readBytes;
    int writeOffset, writeBytes;
};

struct Family {
    const char *name;
    unsigned char stored;  // the bits whose values the EEPROM holds
    size_t windowStart;    // where image byte 0 lies in the EEPROM
    size_t windowBytes;    // the image bytes that reach the EEPROM
    int levelAfter;        // the I/O privilege level a transfer leaves
    std::vector<Value> values;
};

const std::vector<Value> kViaValues = {{0, 52, 12, 52, 11}, {1, 44, 4, 44, 4}, {2, 0, 6, 0, 6},
                                       {3, 40, 4, 40, 4},   {4, 31, 1, 0, 0},  {5, 126, 2, 0, 0}};
const Family kFamilies[] = {
    {"rhine", 0x3F, 0, EEPROM_IMAGE_SIZE, 3, kViaValues},
    {"velocity", 0x3F, 0, EEPROM_IMAGE_SIZE, 3, kViaValues},
    // Its operations never reach the EEPROM: reads hand out the fill.
    {"realtek", 0x00, 0, 0, 3,
     {{0, 104, 12, 104, 11}, {1, 120, 4, 120, 4}, {2, 14, 6, 14, 6}, {3, 116, 4, 116, 4},
      {4, 50, 2, 0, 0}, {5, 126, 2, 0, 0}, {6, 0, 128, 62, 42}}},
    {"jmicron", ASSET_SECURITY_KEY, 0x40, 25, 1, {{1, 16, 4, 16, 4}}},
};

void PrintTo(const Family &family, std::ostream *out) { *out << family.name; }

// Whether a checksum the library describes holds over an image.
bool ruleHolds(const IxoEepromChecksum &rule, const Image &image) {
    unsigned int sum = 0;
    for (int at = rule.first; at <= rule.last; ++at) {
        sum += rule.sum == IXO_EEPROM_SUM_BYTES ? image[static_cast<size_t>(at)]
                                                : wordAt(image.data(), at);
    }
    return rule.sum == IXO_EEPROM_SUM_BYTES
               ? (sum + image[static_cast<size_t>(rule.stored)]) % 0x100 == 0
               : (sum + wordAt(image.data(), rule.stored)) % 0x10000 == 0;
}

class FamilyTest : public eepromtest::EepromTest, public ::testing::WithParamInterface<Family> {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        attachNic(GetParam().name);
    }
    // The image a read leaves of an EEPROM: the window, then the fill.
    Image seen(const Image &eeprom) const {
        Image image(EEPROM_IMAGE_SIZE, 0xFF);
        std::copy_n(eeprom.begin() + static_cast<long>(GetParam().windowStart),
                    GetParam().windowBytes, image.begin());
        return image;
    }
    // The EEPROM with the image's window stored in it.
    Image stored(Image eeprom, const Image &image) const {
        std::copy_n(image.begin(), GetParam().windowBytes,
                    eeprom.begin() + static_cast<long>(GetParam().windowStart));
        return eeprom;
    }
    Image contents() const { return bytesOf(eeprom_contents, 0, EEPROM_IMAGE_SIZE); }
};

TEST_P(FamilyTest, ReadHandsOutWhatTheEepromHoldsAndTheFamilyIsReported) {
    const Family &family = GetParam();
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_EQ(contents(), seen(factory));
    std::set<int> served;
    for (const Value &value : family.values) {
        SCOPED_TRACE(value.slot);
        served.insert(value.slot);
        EXPECT_EQ(bytesOf(record.slot(value.slot), 0, value.readBytes),
                  bytesOf(seen(factory).data(), value.readOffset, value.readBytes));
        EXPECT_EQ(record.slot(value.slot)[value.readBytes], 0);
    }
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_TRUE(served.count(slot) != 0 || record.slotsAreZero({slot})) << slot;
    }
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::ioPrivilegeLevel(), family.levelAfter);
    if (family.windowBytes == 0) {
        EXPECT_EQ(sim::portAccesses(), 0u);
    }

    IxoEepromController controller;
    ASSERT_EQ(ixoEepromController(&controller), 0);
    EXPECT_EQ(controller.ioBase, ioBase);
    ASSERT_NE(controller.family, nullptr);
    EXPECT_STREQ(controller.family->name, family.name);
    EXPECT_EQ(controller.family->storedBits, family.stored);
    Image factoryImage = bytesOf(factory.data(), family.windowStart, EEPROM_IMAGE_SIZE);
    int rules = 0;
    for (const IxoEepromChecksum *rule : {&controller.family->active, &controller.family->full}) {
        if (rule->sum != IXO_EEPROM_SUM_NONE) {
            ++rules;
            EXPECT_TRUE(ruleHolds(*rule, factoryImage)) << rule->first << "-" << rule->last;
        }
    }
    EXPECT_EQ(rules, family.name == std::string("jmicron") ? 0 : 2);
}

TEST_P(FamilyTest, WriteStoresTheRequestedValuesKeepsTheRestAndComputesTheChecksums) {
    const Family &family = GetParam();
    // Damaged checksums, and a request for no value: the image goes back
    // whole with checksums that add up.
    Image before = factory;
    if (family.windowBytes == EEPROM_IMAGE_SIZE) {
        before[31] ^= 0x5A;
        before[126] ^= 0x11;
        std::string error;
        ASSERT_TRUE(sim::setNicEeprom(root, before, &error)) << error;
    }
    // Then every value at once, checksums supplied too: those are replaced.
    Record none(0);
    Record all(0x7F);
    for (int at = 1; at < static_cast<int>(sizeof all.bytes); ++at) {
        all.bytes[at] = static_cast<unsigned char>(0x21 + at % 90);
    }
    // Its checksums as the library describes them; the read test holds those
    // against the model's factory image.
    IxoEepromController controller;
    ASSERT_EQ(ixoEepromController(&controller), 0);
    for (Record *record : {&none, &all}) {
        SCOPED_TRACE(int(record->bytes[0]));
        before = sim::nicEeprom(root);
        ASSERT_EQ(transfer(writeEepromAssetValues, *record), 0);
        Image image = contents();
        for (const IxoEepromChecksum *rule : {&controller.family->active, &controller.family->full}) {
            EXPECT_TRUE(rule->sum == IXO_EEPROM_SUM_NONE || ruleHolds(*rule, image));
        }
        Image expected = seen(before);
        for (const Value &value : family.values) {
            if (value.writeBytes == 0) {  // a checksum, as computed
                std::copy_n(image.begin() + value.readOffset, value.readBytes,
                            expected.begin() + value.readOffset);
            } else if (record == &all) {
                std::copy_n(record->slot(value.slot), value.writeBytes,
                            expected.begin() + value.writeOffset);
            }
        }
        EXPECT_EQ(image, expected);
        EXPECT_EQ(sim::nicEeprom(root), stored(before, image));
    }
    EXPECT_EQ(sim::ioPrivilegeLevel(), family.levelAfter);

    // A VIA EEPROM is left write-protected: a word sent now does not take.
    if (family.name == std::string("rhine") || family.name == std::string("velocity")) {
        Image now = sim::nicEeprom(root);
        (void)(family.name == std::string("rhine") ? SROMbWriteDirect(ioBase, 5, 0x1234)
                                                    : SROMbWriteEmbededNevika(ioBase, 0, 5, 0x1234));
        EXPECT_EQ(sim::nicEeprom(root), now);
    }
}

TEST_P(FamilyTest, WholeImageGoesToTheEepromAsGivenAndComesBack) {
    const Family &family = GetParam();
    Image image(EEPROM_IMAGE_SIZE, 0x11);
    EXPECT_EQ(wholeImage(false, image, EEPROM_IMAGE_SIZE - 1), -1);
    EXPECT_EQ(wholeImage(true, image, EEPROM_IMAGE_SIZE + 1), -1);
    EXPECT_TRUE(sim::ioplCalls().empty()) << "a misfit size is refused before any port";
    if (family.windowBytes == 0) {
        EXPECT_EQ(wholeImage(false, image), -1);
        EXPECT_EQ(wholeImage(true, image), -1);
        EXPECT_EQ(image, Image(EEPROM_IMAGE_SIZE, 0x11)) << "the fill is not handed out";
        EXPECT_EQ(sim::portAccesses(), 0u);
        return;
    }
    ASSERT_EQ(wholeImage(false, image), 0);
    EXPECT_EQ(image, seen(factory));

    // Every byte changed, the checksums wrong: a restore writes what it is given.
    Image written = image;
    for (size_t at = 0; at < family.windowBytes; ++at) {
        written[at] = static_cast<uint8_t>(at * 7 + 1);
    }
    ASSERT_EQ(wholeImage(true, written), 0);
    EXPECT_EQ(sim::nicEeprom(root), stored(factory, written));
    Image back(EEPROM_IMAGE_SIZE, 0);
    ASSERT_EQ(wholeImage(false, back), 0);
    EXPECT_EQ(back, written);
}

INSTANTIATE_TEST_SUITE_P(Families, FamilyTest, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family> &info) { return info.param.name; });

using ControllerFaultTest = eepromtest::EepromTest;

// A controller that refuses, never finishes or keeps its cells: no value of a
// read that did not happen is handed out, nothing a write did not complete is
// reported as done, and the EEPROM keeps its content.
TEST_F(ControllerFaultTest, ControllerFaultsFailTheTransfersThatTheyBreak) {
    const std::tuple<const char *, const char *, int, int> cases[] = {
        // Family, fault, then what the read transfer and ixoReadEepromImage
        // answer, and what the write transfer and ixoWriteEepromImage do.
        {"rhine", "refuse", -1, -1},    {"rhine", "busy", 0, -1},       {"rhine", "timeout", 0, -1},
        {"rhine", "stuck", 0, 0},       {"velocity", "refuse", -1, -1}, {"velocity", "busy", -1, -1},
        {"velocity", "timeout", -1, -1}, {"velocity", "stuck", 0, 0},  {"jmicron", "refuse", -1, -1},
        {"jmicron", "busy", -1, -1},    {"jmicron", "timeout", -1, -1}, {"jmicron", "stuck", 0, 0},
    };
    for (const auto &[family, fault, readResult, writeResult] : cases) {
        SCOPED_TRACE(std::string(family) + " " + fault);
        sim::resetPortBus();
        attachNic(family);
        sim::setNicFault(fault);
        Record read(0x3F);
        EXPECT_EQ(transfer(readEepromAssetValues, read), readResult);
        EXPECT_TRUE(readResult == 0 || read.slotsAreZero({0, 1, 2, 3, 4, 5, 6, 7}));
        Record write(ASSET_SECURITY_KEY);
        std::memcpy(write.slot(1), "\x11\x22\x33\x44", 4);
        EXPECT_EQ(transfer(writeEepromAssetValues, write), writeResult);

        Image image(EEPROM_IMAGE_SIZE, 0x11);
        EXPECT_EQ(wholeImage(false, image), readResult);
        EXPECT_TRUE(readResult == 0 || image == Image(EEPROM_IMAGE_SIZE, 0x11));
        Image written(EEPROM_IMAGE_SIZE, 0x5A);
        EXPECT_EQ(wholeImage(true, written), writeResult);
        EXPECT_EQ(sim::nicEeprom(root), factory);
    }

    // The JMicron's write operation still tries every byte the EEPROM refuses.
    sim::clearNicOperations();
    sim::setNicFault("refuse");
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memcpy(image, factory.data() + 0x40, 25);
    EXPECT_EQ(privileged([&] { return write_eeprom_jmicron(0x2040, image); }), 0);
    std::vector<std::string> operations = sim::nicOperations();
    EXPECT_EQ(operations.size(), 25u);
    EXPECT_THAT(operations, Each(HasSubstr("nack")));
}

}  // namespace
