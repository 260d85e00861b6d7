#include <cstdlib>

#include "device/device.h"

namespace {
IxoCommandRunner currentRunner = nullptr;
}  // namespace

extern "C" IXO_API void ixoSetCommandRunner(IxoCommandRunner runner) { currentRunner = runner; }

namespace device {

int runDeviceCommand(const std::string &commandLine) {
    if (currentRunner != nullptr) {
        return currentRunner(commandLine.c_str());
    }
    return std::system(commandLine.c_str());
}

}  // namespace device
