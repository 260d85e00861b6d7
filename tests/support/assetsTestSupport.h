// Helpers shared by the imaging-asset suites: log counting, writing the
// simulated device's files, its firmware strings, its drives and its settings.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/registry/registry.h"
#include "ixo/agent.h"
#include "ixo/platform_data.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace assets_test {

// How often text occurs in the agent's log since the last clearLog().
inline int logCount(const std::string &text) {
    std::string log = support::logText();
    int count = 0;
    for (size_t at = log.find(text); at != std::string::npos;
         at = log.find(text, at + text.size())) {
        ++count;
    }
    return count;
}

class AssetDeviceTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        freePlatformData(&record);
        support::SimDeviceTest::TearDown();
    }
    // Writes a file of the device, making its directories.
    void writeDeviceFile(const std::string &devicePath, const std::string &content) {
        std::string path = hostPath(devicePath);
        for (size_t slash = path.find('/', root.size() + 1); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            mkdir(path.substr(0, slash).c_str(), 0755);
        }
        support::writeFile(path, content);
    }
    void removeDeviceFile(const std::string &devicePath) {
        std::remove(hostPath(devicePath).c_str());
    }
    // The firmware's maker and model as the kernel shows them.
    void setMakerAndModel(const std::string &maker, const std::string &model) {
        writeDeviceFile("/sys/class/dmi/id/sys_vendor", maker + "\n");
        writeDeviceFile("/sys/class/dmi/id/product_name", model + "\n");
    }
    // The firmware's OEM strings (one type-11 structure).
    void setOemStrings(const std::vector<std::string> &strings) {
        std::string raw = {11, 5, 0x00, 0x0B, static_cast<char>(strings.size())};
        for (const std::string &text : strings) {
            raw += text + '\0';
        }
        raw += strings.empty() ? std::string(2, '\0') : std::string(1, '\0');
        writeDeviceFile("/sys/firmware/dmi/entries/11-0/raw", raw);
    }
    // A drive image whose sector 0 is the given master boot record.
    void writeDrive(const std::string &devicePath, const std::vector<sim::PartitionEntry> &entries,
                    bool withSignature = true) {
        std::string image = sim::masterBootRecord(entries, withSignature);
        image.resize(4096, '\0');
        writeDeviceFile(devicePath, image);
    }
    // The simulated controller of the family, its model on the port bus.
    void useController(const std::string &family) {
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, family, &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    }
    // No network controller the library knows.
    void removeController() { removeDeviceFile("/proc/bus/pci/devices"); }
    // The agent setting that takes the security key from SMBIOS.
    void setSmbiosFlag(const std::string &value) {
        std::string error;
        ASSERT_TRUE(
            agent::registrySet("/tmp/system.conf", "IxoSettings", "useSmbios", value, &error))
            << error;
    }

    PlatformData record{};
};

}  // namespace assets_test
