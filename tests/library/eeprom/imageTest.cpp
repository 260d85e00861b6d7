// The whole image read and written at once, for backups and their restore,
// against the controller models.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::IsEmpty;

namespace {

using eepromtest::bytesOf;
using Image = std::vector<uint8_t>;

class ImageTest : public eepromtest::EepromTest,
                  public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        attachNic(GetParam());
    }
    bool jmicron() const { return GetParam() == "jmicron"; }
    // Where image byte 0 lies in the EEPROM, and how many bytes reach it.
    size_t windowStart() const { return jmicron() ? 0x40 : 0; }
    size_t windowBytes() const { return jmicron() ? 25 : EEPROM_IMAGE_SIZE; }
    // The part of the EEPROM that the image holds.
    Image window(const Image &eeprom) const {
        return bytesOf(eeprom.data(), windowStart(), windowBytes());
    }

    // On the device a port access below I/O privilege level 3 faults.
    int call(int (*operation)(unsigned char *, int), Image &image) {
        unsigned long unprivileged = sim::unprivilegedAccesses();
        testing::internal::CaptureStdout();
        int result = operation(image.data(), static_cast<int>(image.size()));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(sim::unprivilegedAccesses(), unprivileged);
        return result;
    }
    int read(Image &image) { return call(ixoReadEepromImage, image); }
    int write(Image image) {
        return call([](unsigned char *bytes, int size) {
            return ixoWriteEepromImage(bytes, size);
        }, image);
    }
};

TEST_P(ImageTest, ImageGoesToTheEepromAsGivenAndComesBack) {
    Image image(EEPROM_IMAGE_SIZE, 0);
    ASSERT_EQ(read(image), 0);
    EXPECT_EQ(bytesOf(image.data(), 0, windowBytes()), window(factory));
    EXPECT_EQ(bytesOf(image.data(), windowBytes(), EEPROM_IMAGE_SIZE - windowBytes()),
              Image(EEPROM_IMAGE_SIZE - windowBytes(), 0xFF));

    // Every byte changed, the checksums made wrong on purpose: a restore
    // writes what it is given.
    Image written = image;
    for (size_t at = 0; at < windowBytes(); ++at) {
        written[at] = static_cast<uint8_t>(at * 7 + 1);
    }
    ASSERT_EQ(write(written), 0);
    Image expected = factory;
    std::copy(written.begin(), written.begin() + static_cast<long>(windowBytes()),
              expected.begin() + static_cast<long>(windowStart()));
    EXPECT_EQ(sim::nicEeprom(root), expected);
    Image back(EEPROM_IMAGE_SIZE, 0);
    ASSERT_EQ(read(back), 0);
    EXPECT_EQ(back, written);
}

TEST_P(ImageTest, AWordTheControllerDidNotDoFailsTheCall) {
    for (const char *fault : {"refuse", "timeout"}) {
        SCOPED_TRACE(fault);
        sim::setNicFault(fault);
        Image written(EEPROM_IMAGE_SIZE, 0xFF);
        std::fill(written.begin(), written.begin() + static_cast<long>(windowBytes()), 0x5A);
        EXPECT_EQ(write(written), -1);
        EXPECT_EQ(sim::nicEeprom(root), factory);
        sim::setNicFault("none");
    }
    // A refused read leaves the caller's buffer as it was. (A Rhine's lines
    // cannot tell an EEPROM that hangs from one that answers zeros.)
    sim::setNicFault("refuse");
    Image image(EEPROM_IMAGE_SIZE, 0x11);
    EXPECT_EQ(read(image), -1);
    EXPECT_EQ(image, Image(EEPROM_IMAGE_SIZE, 0x11));
}

INSTANTIATE_TEST_SUITE_P(Families, ImageTest, ::testing::Values("rhine", "velocity", "jmicron"),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return info.param;
                         });

class ImageRefusalTest : public eepromtest::EepromTest {};

TEST_F(ImageRefusalTest, RealtekAndMisfitImagesAreRefusedBeforeAnyPort) {
    attachNic("realtek");
    Image image(EEPROM_IMAGE_SIZE, 0x11);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ixoReadEepromImage(image.data(), EEPROM_IMAGE_SIZE), -1);
    EXPECT_EQ(ixoWriteEepromImage(image.data(), EEPROM_IMAGE_SIZE), -1);
    testing::internal::GetCapturedStdout();
    // Its operations never reach the EEPROM: the fill is not handed out.
    EXPECT_EQ(image, Image(EEPROM_IMAGE_SIZE, 0x11));
    EXPECT_EQ(sim::portAccesses(), 0u);

    sim::resetPortBus();
    EXPECT_EQ(ixoReadEepromImage(image.data(), EEPROM_IMAGE_SIZE - 1), -1);
    EXPECT_EQ(ixoWriteEepromImage(image.data(), EEPROM_IMAGE_SIZE + 1), -1);
    EXPECT_EQ(ixoReadEepromImage(nullptr, EEPROM_IMAGE_SIZE), -1);
    EXPECT_EQ(ixoWriteEepromImage(nullptr, EEPROM_IMAGE_SIZE), -1);
    EXPECT_THAT(sim::ioplCalls(), IsEmpty());
}

}  // namespace
