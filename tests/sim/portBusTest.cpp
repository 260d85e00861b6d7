#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "sim/sim.h"

namespace {

using Access = std::tuple<uint16_t, int, uint32_t>;  // port, width, value

// A model that answers every read with a fixed pattern and keeps every access.
struct RecordingModel {
    explicit RecordingModel(uint32_t value) : answer(value) {}
    uint32_t answer;
    std::vector<Access> reads;
    std::vector<Access> writes;

    sim::PortModel at(uint16_t first, uint16_t count) {
        return {first, count, this,
                [](void *context, uint16_t port, int width) -> uint32_t {
                    auto *self = static_cast<RecordingModel *>(context);
                    self->reads.push_back({port, width, 0});
                    return self->answer;
                },
                [](void *context, uint16_t port, int width, uint32_t value) {
                    static_cast<RecordingModel *>(context)->writes.push_back({port, width, value});
                }};
    }
};

class PortBusTest : public ::testing::Test {
protected:
    void SetUp() override { sim::resetPortBus(); }
    void TearDown() override { sim::resetPortBus(); }
    const IxoPortIo &io = *sim::portBus();
};

TEST_F(PortBusTest, SystemControlPortCountsDelayUnits) {
    std::vector<uint8_t> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(io.in8(0x61));
    }
    EXPECT_EQ(sim::delayUnits(), 4u);
    // The refresh bit toggles from one read to the next.
    EXPECT_NE(seen[0] & 0x10, seen[1] & 0x10);
    EXPECT_EQ(seen[0], seen[2]);
    EXPECT_EQ(seen[1], seen[3]);
    io.out8(0x61, 0);
    EXPECT_EQ(sim::delayUnits(), 4u);
    EXPECT_EQ(sim::portAccesses(), 5u);
}

TEST_F(PortBusTest, ModelsGetTheirPortsAtEveryWidthAndUnclaimedPortsFloatHigh) {
    RecordingModel first(0x12345678);
    RecordingModel second(0xCAFEF00D);
    sim::attachPortModel(first.at(0xE000, 0x80));
    sim::attachPortModel(second.at(0xE080, 0x10));

    EXPECT_EQ(io.in8(0xE07F), 0x78);
    EXPECT_EQ(io.in16(0xE002), 0x5678);
    EXPECT_EQ(io.in32(0xE080), 0xCAFEF00Du);
    io.out8(0xE010, 0xAB);
    io.out16(0xE08E, 0xBEEF);
    io.out32(0xE004, 0x01020304);
    EXPECT_EQ(io.in8(0xDFFF), 0xFF);
    EXPECT_EQ(io.in16(0xE090), 0xFFFF);
    EXPECT_EQ(io.in32(0x0CF8), 0xFFFFFFFFu);
    io.out32(0xE090, 0x12345678);

    EXPECT_EQ(first.reads, (std::vector<Access>{{0xE07F, 1, 0}, {0xE002, 2, 0}}));
    EXPECT_EQ(second.reads, (std::vector<Access>{{0xE080, 4, 0}}));
    EXPECT_EQ(first.writes, (std::vector<Access>{{0xE010, 1, 0xAB}, {0xE004, 4, 0x01020304}}));
    EXPECT_EQ(second.writes, (std::vector<Access>{{0xE08E, 2, 0xBEEF}}));
    EXPECT_EQ(sim::portAccesses(), 10u);
    EXPECT_EQ(sim::delayUnits(), 0u);
}

TEST_F(PortBusTest, RejectsRangesThatCannotBeRouted) {
    RecordingModel model(0);
    sim::attachPortModel(model.at(0xE000, 0x80));
    EXPECT_THROW(sim::attachPortModel(model.at(0xE07F, 2)), std::invalid_argument);
    EXPECT_THROW(sim::attachPortModel(model.at(0x1000, 0)), std::invalid_argument);
    EXPECT_THROW(sim::attachPortModel(model.at(0xFFF0, 0x20)), std::invalid_argument);
    EXPECT_THROW(sim::attachPortModel(model.at(0x60, 4)), std::invalid_argument);
    EXPECT_NO_THROW(sim::attachPortModel(model.at(0xFFF0, 0x10)));
}

// Accesses the device would fault on are counted: before any iopl, and after
// the level was lowered again; a refused iopl changes nothing.
TEST_F(PortBusTest, IoplIsRecordedCanBeRefusedAndGuardsAccesses) {
    EXPECT_EQ(sim::ioPrivilegeLevel(), 0);
    io.in8(0x80);
    EXPECT_EQ(sim::unprivilegedAccesses(), 1u);
    EXPECT_EQ(io.iopl(3), 0);
    io.out8(0x80, 1);
    io.in16(0x61);
    EXPECT_EQ(sim::unprivilegedAccesses(), 1u);
    EXPECT_EQ(io.iopl(1), 0);
    io.out32(0x80, 1);
    sim::failIopl(true);
    errno = 0;
    EXPECT_EQ(io.iopl(3), -1);
    EXPECT_EQ(errno, EPERM);
    io.in32(0x80);
    EXPECT_EQ(sim::ioPrivilegeLevel(), 1);
    EXPECT_EQ(sim::unprivilegedAccesses(), 3u);
    sim::failIopl(false);
    EXPECT_EQ(io.iopl(4), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(sim::ioplCalls(), (std::vector<int>{3, 1, 3, 4}));
}

TEST_F(PortBusTest, ResetDetachesModelsAndClearsEverything) {
    RecordingModel model(0x11);
    sim::attachPortModel(model.at(0xE000, 0x10));
    io.in8(0x61);
    io.in8(0x80);
    io.iopl(3);
    sim::failIopl(true);

    sim::resetPortBus();

    EXPECT_EQ(sim::delayUnits(), 0u);
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_EQ(sim::unprivilegedAccesses(), 0u);
    EXPECT_EQ(sim::ioPrivilegeLevel(), 0);
    EXPECT_TRUE(sim::ioplCalls().empty());
    EXPECT_EQ(io.iopl(3), 0);
    EXPECT_EQ(io.in8(0xE000), 0xFF);
    EXPECT_TRUE(model.reads.empty());
}

}  // namespace
