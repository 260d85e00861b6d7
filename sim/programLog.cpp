// What the stand-in programs did (their log) and how they answer (knobs).
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "sim/fileOperations.h"
#include "sim/sim.h"

namespace sim {

namespace {

const char kLog[] = "/var/log/device-programs.log";

std::string knobPath(const std::string &root, const std::string &name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        throw std::invalid_argument("not a knob name: \"" + name + "\"");
    }
    return root + "/etc/sim/" + name;
}

}  // namespace

std::vector<std::string> programLog(const std::string &root) {
    std::vector<std::string> lines;
    if (!files::exists(root + kLog)) {
        return lines;
    }
    std::string content;
    std::string error;
    if (!files::readFile(root + kLog, &content, &error)) {
        throw std::runtime_error(error);
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void clearProgramLog(const std::string &root) {
    std::string error;
    if (!files::replaceFile(root + kLog, "", 0644, &error)) {
        throw std::runtime_error(error);
    }
}

void setKnob(const std::string &root, const std::string &name, const std::string &value) {
    std::string error;
    if (!files::replaceFile(knobPath(root, name), value, 0644, &error)) {
        throw std::runtime_error(error);
    }
}

void removeKnob(const std::string &root, const std::string &name) {
    std::string path = knobPath(root, name);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw std::runtime_error(files::failure("cannot remove the knob", path));
    }
}

}  // namespace sim
