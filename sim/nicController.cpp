// The simulated thin client's network controller: which one the device has
// (/etc/sim/nic), its board's PCI list (/proc/bus/pci/devices), its EEPROM
// (/var/lib/sim/nic-eeprom.bin) and the model of it on the port bus.
#include <memory>
#include <stdexcept>

#include "sim/fileOperations.h"
#include "sim/nicFactoryImages.h"
#include "sim/nicModelState.h"
#include "sim/nicPciLists.h"

namespace sim {

const char kNicFamilyFile[] = "/etc/sim/nic";
const char kNicFaultFile[] = "/etc/sim/nic.fault";
const char kNicEepromFile[] = "/var/lib/sim/nic-eeprom.bin";

namespace {

// A family: the board it comes on, its factory EEPROM and its model (none
// for the Realtek, whose EEPROM is never driven).
struct Family {
    const char *name;
    const nic::PciBoard *board;
    std::vector<uint8_t> (*factoryImage)();
    nic::ModelHandle (*makeModel)(uint16_t ioBase, nic::EepromImage &eeprom);
    size_t eepromSize;
};

const Family kFamilies[] = {
    {"rhine", &nic::kRhineBoard, nic::rhineFactoryImage, nic::makeRhineModel, 128},
    {"velocity", &nic::kVelocityBoard, nic::velocityFactoryImage, nic::makeVelocityModel, 128},
    {"realtek", &nic::kRealtekBoard, nic::realtekFactoryImage, nullptr, 128},
    {"jmicron", &nic::kJmicronBoard, nic::jmicronFactoryImage, nic::makeJmicronModel, 256},
};

const Family *findFamily(const std::string &name) {
    for (const Family &family : kFamilies) {
        if (name == family.name) {
            return &family;
        }
    }
    return nullptr;
}

std::string familyList() {
    std::string list;
    for (const Family &family : kFamilies) {
        list += (list.empty() ? "" : ", ") + std::string(family.name);
    }
    return list;
}

std::string withoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

bool readEepromFile(const std::string &root, const Family &family, std::vector<uint8_t> *bytes,
                    std::string *error) {
    std::string content;
    std::string path = root + kNicEepromFile;
    if (!files::readFile(path, &content, error)) {
        return false;
    }
    if (content.size() != family.eepromSize) {
        *error = path + " holds " + std::to_string(content.size()) + " bytes, not the " +
                 std::to_string(family.eepromSize) + " of the " + family.name + " EEPROM";
        return false;
    }
    bytes->assign(content.begin(), content.end());
    return true;
}

// The controller on the bus: the EEPROM image it works on and its model.
struct AttachedNic {
    std::string root;
    unsigned long resets = 0;
    std::unique_ptr<nic::EepromImage> eeprom;
    nic::ModelHandle model;
    bool onBus() const { return eeprom != nullptr && resets == portBusResets(); }
};

AttachedNic &attached() {
    static AttachedNic nic;
    return nic;
}

}  // namespace

const std::vector<std::string> &nicFamilies() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Family &family : kFamilies) {
            list.push_back(family.name);
        }
        return list;
    }();
    return names;
}

std::string nicFamily(const std::string &root) {
    std::string content;
    std::string ignored;
    if (!files::readFile(withoutTrailingSlashes(root) + kNicFamilyFile, &content, &ignored)) {
        return "";
    }
    while (!content.empty() && (content.back() == '\n' || content.back() == ' ')) {
        content.pop_back();
    }
    return findFamily(content) != nullptr ? content : "";
}

bool writeNicDevice(const std::string &rootDir, const std::string &familyName, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    const Family *family = findFamily(familyName);
    if (family == nullptr) {
        *error = "unknown network controller '" + familyName + "' (" + familyList() + ")";
        return false;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    std::string pciList = nic::pciDevicesList(*family->board);
    std::vector<uint8_t> image = family->factoryImage();
    std::string eepromPath = root + kNicEepromFile;
    return files::makeDirectories(root + "/proc/bus/pci", 0755, error) &&
           files::replaceFile(root + nic::kPciDevices, pciList, 0644, error) &&
           files::makeDirectories(eepromPath.substr(0, eepromPath.rfind('/')), 0755, error) &&
           files::replaceFile(eepromPath, std::string(image.begin(), image.end()), 0644, error) &&
           files::makeDirectories(root + "/etc/sim", 0755, error) &&
           files::replaceFile(root + kNicFamilyFile, family->name + std::string("\n"), 0644, error);
}

bool attachNicModel(const std::string &rootDir, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    std::string name = nicFamily(root);
    const Family *family = findFamily(name);
    if (family == nullptr) {
        *error = "the simulated device " + root + " has no network controller (" + kNicFamilyFile +
                 " names none)";
        return false;
    }
    if (family->makeModel == nullptr) {
        return true;
    }
    AttachedNic &nic = attached();
    if (nic.onBus()) {
        if (nic.root == root) {
            return true;
        }
        *error = "the network controller of " + nic.root + " is on the port bus; reset it first";
        return false;
    }
    uint16_t ioBase = 0;
    std::vector<uint8_t> bytes;
    if (!nic::findControllerIoBase(root, *family->board, &ioBase, error) ||
        !readEepromFile(root, *family, &bytes, error)) {
        return false;
    }
    std::string fault;
    if (files::exists(root + kNicFaultFile)) {
        if (!files::readFile(root + kNicFaultFile, &fault, error)) {
            return false;
        }
        fault.erase(fault.find_last_not_of(" \n") + 1);
        try {
            setNicFault(fault);
        } catch (const std::invalid_argument &reason) {
            *error = root + kNicFaultFile + ": " + reason.what();
            return false;
        }
    }
    auto eeprom = std::make_unique<nic::EepromImage>(root + kNicEepromFile, std::move(bytes));
    nic::ModelHandle model = family->makeModel(ioBase, *eeprom);
    try {
        attachPortModel(model.ports);
    } catch (const std::invalid_argument &reason) {
        *error = "cannot put the " + name + " model on the port bus: " + reason.what();
        return false;
    }
    // The old model is off the bus (reset): it can go now.
    nic.model = std::move(model);
    nic.eeprom = std::move(eeprom);
    nic.root = root;
    nic.resets = portBusResets();
    nic::clearRecords();
    return true;
}

std::vector<uint8_t> nicEeprom(const std::string &rootDir) {
    std::string root = withoutTrailingSlashes(rootDir);
    const AttachedNic &nic = attached();
    if (nic.onBus() && nic.root == root) {
        return nic.eeprom->bytes();
    }
    const Family *family = findFamily(nicFamily(root));
    std::vector<uint8_t> bytes;
    std::string ignored;
    if (family == nullptr || !readEepromFile(root, *family, &bytes, &ignored)) {
        return {};
    }
    return bytes;
}

bool setNicEeprom(const std::string &rootDir, const std::vector<uint8_t> &content, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    const Family *family = findFamily(nicFamily(root));
    if (family == nullptr) {
        *error = "the simulated device " + root + " has no network controller";
        return false;
    }
    if (content.size() != family->eepromSize) {
        *error = "the " + std::string(family->name) + " EEPROM holds " +
                 std::to_string(family->eepromSize) + " bytes, not " + std::to_string(content.size());
        return false;
    }
    if (!files::replaceFile(root + kNicEepromFile, std::string(content.begin(), content.end()), 0644,
                            error)) {
        return false;
    }
    AttachedNic &nic = attached();
    if (nic.onBus() && nic.root == root) {
        nic.eeprom->replace(content);
    }
    return true;
}

}  // namespace sim
