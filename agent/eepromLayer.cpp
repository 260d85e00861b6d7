#include "agent/eepromLayer.h"

#include <cstdio>

namespace agent {

namespace {

bool loadLayer(const PlatformLibrary &library, EepromLayer *layer, std::string *missing) {
    layer->library = &library;
    return resolveEntry(library, "readEepromAssetValues", &layer->read, missing) &&
           resolveEntry(library, "writeEepromAssetValues", &layer->write, missing) &&
           resolveEntry(library, "ixoReadEepromImage", &layer->readImage, missing) &&
           resolveEntry(library, "ixoWriteEepromImage", &layer->writeImage, missing) &&
           resolveEntry(library, "dumpEEPROM", &layer->dump, missing) &&
           resolveEntry(library, "eeprom_contents", &layer->image, missing);
}

}  // namespace

Controller foundController(const EepromLayer &layer) {
    Controller controller;
    IxoEepromController found;
    if (layer.library->eepromController(&found) == 0) {
        controller.name = std::string(found.shortName) + " (" + found.longName + ")";
        controller.ioBase = found.ioBase;
        controller.family = found.family;
    }
    return controller;
}

const IxoEepromFamily *familyNamed(const EepromLayer &layer, const std::string &name) {
    for (const IxoEepromFamily *family = layer.library->eepromFamilies(); family->name != nullptr;
         ++family) {
        if (name == family->name) {
            return family;
        }
    }
    return nullptr;
}

std::string controllerText(const Controller &controller) {
    char base[16];
    std::snprintf(base, sizeof base, "%#x", controller.ioBase);
    return controller.name + " at " + base;
}

bool readValues(const EepromLayer &layer, unsigned char *record, unsigned char mask) {
    record[0] = mask;
    if (layer.read(record) != 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "ixoAgent: cannot read the network controller's EEPROM "
                             "(see the messages above and the log)\n");
        return false;
    }
    return true;
}

const IxoEepromFamily *knownFamily(const Controller &controller) {
    if (controller.family == nullptr) {
        std::fflush(stdout);
        std::fprintf(stderr, "ixoAgent: the %s is of no controller family ixoAgent knows\n",
                     controllerText(controller).c_str());
    }
    return controller.family;
}

int withEepromLayer(const CliContext &context,
                    const std::function<int(const EepromLayer &layer)> &work) {
    EepromLayer layer;
    std::string missing;
    if (!loadLayer(*context.library, &layer, &missing)) {
        return cliFailure(context.library->path + ": no entry point '" + missing + "'");
    }
    return work(layer);
}

}  // namespace agent
