// Lays out the thin client's root file system in a directory.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "sim/device.h"
#include "sim/files.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "sim/standins.h"

namespace sim {

namespace {

const char kMarker[] = "/etc/sim/device";

struct Directory {
    const char *path;
    mode_t mode;
};

const Directory kDirectories[] = {
    {"/bin", 0755},
    {"/sbin", 0755},
    {"/sbin/installer", 0755},
    {"/usr/bin", 0755},
    {"/usr/sbin", 0755},
    {"/tmp", 01777},
    {"/temp", 01777},
    {"/home/root", 0755},
    {"/var/log", 0755},
    {"/etc/sim", 0755},
    {"/etc/addons.d/IXO_AGENT", 0755},
    {"/etc/zeltinpartition", 0755},
    {"/proc/bus/pci", 0755},
    {"/sys/class/dmi/id", 0755},
    {"/dev", 0755},
};

const StateFile kLogFiles[] = {
    {"/var/log/device-programs.log", ""},
};

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// A directory that holds anything else must not be turned into a device:
// building writes all over it.
bool isEmptyDirectory(const std::string &dir, std::string *error) {
    std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
    if (!handle) {
        *error = files::failure("cannot read the directory", dir);
        return false;
    }
    errno = 0;
    while (const dirent *entry = ::readdir(handle.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            *error = "refusing to build a simulated device in " + dir +
                     ": it is not empty and holds no simulated device";
            return false;
        }
    }
    if (errno != 0) {
        *error = files::failure("cannot read the directory", dir);
        return false;
    }
    return true;
}

bool createIfMissing(const std::string &root, const StateFile &file, std::string *error) {
    std::string path = root + file.path;
    if (files::exists(path)) {
        return true;
    }
    return files::makeDirectories(path.substr(0, path.find_last_of('/')), 0755, error) &&
           files::replaceFile(path, file.initialContent, 0644, error);
}

std::string withoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

}  // namespace

bool isDevice(const std::string &dir) {
    struct stat info;
    return !dir.empty() && ::stat((dir + kMarker).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool buildDevice(const std::string &dir, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    if (dir.empty()) {
        *error = "no directory given for the simulated device";
        return false;
    }
    std::string root = withoutTrailingSlashes(dir);
    if (!files::makeDirectories(root, 0755, error)) {
        return false;
    }
    bool refresh = isDevice(root);
    if (!refresh && !isEmptyDirectory(root, error)) {
        return false;
    }
    for (const Directory &directory : kDirectories) {
        if (!files::makeDirectories(root + directory.path, directory.mode, error)) {
            return false;
        }
    }
    // The marker goes in first: a build that fails half way can be retried.
    if (!refresh && !files::replaceFile(root + kMarker, "simulated thin client\n", 0644, error)) {
        return false;
    }
    for (const StateFile &logFile : kLogFiles) {
        if (!createIfMissing(root, logFile, error)) {
            return false;
        }
    }
    for (size_t index = 0; index < kRegistryFileCount; ++index) {
        if (!createIfMissing(root, kRegistryFiles[index], error)) {
            return false;
        }
    }
    // Every device has a network controller, a Rhine unless one was chosen;
    // a refresh keeps the one it has, with its EEPROM.
    return makeDevNull(root, error) && writeProcFiles(root, error) &&
           installBusybox(root, error) && installStandIns(root, error) &&
           writePlatformFiles(root, error) &&
           (!nicFamily(root).empty() || writeNicDevice(root, "rhine", error));
}

}  // namespace sim
