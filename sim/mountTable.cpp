// The simulated kernel's mount table, /proc/mounts in the device root: one
// mount a line, "device mountpoint type options dump pass".
#include <sstream>

#include "sim/fileOperations.h"
#include "sim/sim.h"

namespace sim {

namespace {

std::vector<std::string> fieldsOf(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    std::string field;
    while (in >> field) {
        fields.push_back(field);
    }
    return fields;
}

bool isMountOf(const std::vector<std::string> &fields, const std::string &mountPoint) {
    return fields.size() >= 4 && fields[0] != "rootfs" && fields[1] == mountPoint;
}

std::vector<std::string> linesOf(const std::string &content) {
    std::vector<std::string> lines;
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::string mountOptions(const std::string &root, const std::string &mountPoint) {
    std::string content;
    std::string error;
    if (!files::readFile(root + "/proc/mounts", &content, &error)) {
        return "";
    }
    for (const std::string &line : linesOf(content)) {
        std::vector<std::string> fields = fieldsOf(line);
        if (isMountOf(fields, mountPoint)) {
            return fields[3];
        }
    }
    return "";
}

bool setMountOptions(const std::string &root, const std::string &mountPoint,
                     const std::string &options) {
    if (options.empty() || options.find_first_of(" \t\n") != std::string::npos) {
        return false;
    }
    std::string path = root + "/proc/mounts";
    std::string content;
    std::string error;
    if (!files::readFile(path, &content, &error)) {
        return false;
    }
    std::string updated;
    bool found = false;
    for (const std::string &line : linesOf(content)) {
        std::vector<std::string> fields = fieldsOf(line);
        if (found || !isMountOf(fields, mountPoint)) {
            updated += line + "\n";
            continue;
        }
        fields[3] = options;
        std::string rebuilt;
        for (const std::string &field : fields) {
            rebuilt += (rebuilt.empty() ? "" : " ") + field;
        }
        updated += rebuilt + "\n";
        found = true;
    }
    return found && files::replaceFile(path, updated, 0644, &error);
}

}  // namespace sim
