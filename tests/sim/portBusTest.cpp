#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>
#include <vector>

#include "sim/sim.h"

namespace {

using Access = std::tuple<uint16_t, int, uint32_t>;  // port, width, value (0 for reads)

// Answers every read with a fixed value and keeps every access.
struct RecordingModel {
    uint32_t answer;
    std::vector<Access> accesses;

    sim::PortModel at(uint16_t first, uint16_t count) {
        return {first, count, this,
                [](void *context, uint16_t port, int width) -> uint32_t {
                    auto *self = static_cast<RecordingModel *>(context);
                    self->accesses.emplace_back(port, width, 0);
                    return self->answer;
                },
                [](void *context, uint16_t port, int width, uint32_t value) {
                    static_cast<RecordingModel *>(context)->accesses.emplace_back(port, width, value);
                }};
    }
};

// Accesses the device would fault on are counted: before any iopl, and after
// the level was lowered again. A reset ends a refused iopl.
TEST(PortBusTest, RoutesEachModelItsPortsAndCountsAccessesWithoutPrivilege) {
    sim::resetPortBus();
    const IxoPortIo &io = *sim::portBus();
    RecordingModel model{0x12345678, {}};
    sim::attachPortModel(model.at(0xE000, 0x80));
    EXPECT_THROW(sim::attachPortModel(model.at(0xE07F, 2)), std::invalid_argument);
    EXPECT_THROW(sim::attachPortModel(model.at(0x60, 4)), std::invalid_argument);

    EXPECT_EQ(io.in16(0xE07E), 0x5678);
    EXPECT_EQ(sim::unprivilegedAccesses(), 1u);
    EXPECT_EQ(io.iopl(3), 0);
    io.out32(0xE004, 0x01020304);
    EXPECT_EQ(io.in32(0x0CF8), 0xFFFFFFFFu);
    EXPECT_EQ(sim::unprivilegedAccesses(), 1u);
    EXPECT_EQ(io.iopl(1), 0);
    io.in8(0x61);
    EXPECT_EQ(sim::unprivilegedAccesses(), 2u);
    EXPECT_EQ(model.accesses, (std::vector<Access>{{0xE07E, 2, 0}, {0xE004, 4, 0x01020304}}));

    sim::failIopl(true);
    sim::resetPortBus();
    EXPECT_EQ(io.iopl(3), 0) << "a reset ends the refusal";
    EXPECT_EQ(io.in8(0xE000), 0xFF) << "and detaches the models";
    sim::resetPortBus();
}

}  // namespace
