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
           resolveEntry(library, "eeprom_contents", &layer->image, missing) &&
           resolveEntry(library, "pcidev_tbl", &layer->table, missing);
}

}  // namespace

Controller foundController(const EepromLayer &layer) {
    Controller controller;
    for (const pcidev_row *row = layer.table; row->vendor_id != 0; ++row) {
        if (row->io_addr == 0) {
            continue;
        }
        controller.name = std::string(row->short_name) + " (" + row->long_name + ")";
        controller.ioBase = row->io_addr;
        controller.family = familyOfRow(*layer.library, *row);
        break;
    }
    return controller;
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

const EepromFamily *knownFamily(const Controller &controller) {
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
