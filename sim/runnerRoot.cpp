// The root the simulator's command runners run their lines in.
#include "sim/sim.h"

namespace sim {

namespace {

std::string &currentRoot() {
    static std::string dir;
    return dir;
}

}  // namespace

void setRoot(const std::string &dir) { currentRoot() = dir; }

const std::string &root() { return currentRoot(); }

}  // namespace sim
