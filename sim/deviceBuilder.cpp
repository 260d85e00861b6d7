// Lays out the thin client's root file system in a directory.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "sim/deviceParts.h"
#include "sim/fileOperations.h"
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

// Besides the program log, what the sample command files delete, so that
// each sample does its work on a device just built; a refresh puts back
// what a run deleted.
const StateFile kStartingFiles[] = {
    {"/var/log/device-programs.log", ""},
    {"/var/log/old-agent.log", "an old agent's log\n"},
    {"/home/root/addon-cache/part", "a part of an add-on download\n"},
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

// Everything but the marker, on a new device or over an existing one. What a
// device cannot do without comes first: its /dev/null (mknod, which needs
// root) and the static busybox that runs its command lines.
bool layOut(const std::string &root, const DeviceChoice &choice, std::string *error) {
    if (!files::makeDirectories(root + "/dev", 0755, error) || !makeDevNull(root, error) ||
        !files::makeDirectories(root + "/bin", 0755, error) || !installBusybox(root, error)) {
        return false;
    }
    for (const Directory &directory : kDirectories) {
        if (!files::makeDirectories(root + directory.path, directory.mode, error)) {
            return false;
        }
    }
    for (const StateFile &file : kStartingFiles) {
        if (!createIfMissing(root, file, error)) {
            return false;
        }
    }
    for (size_t index = 0; index < kRegistryFileCount; ++index) {
        if (!createIfMissing(root, kRegistryFiles[index], error)) {
            return false;
        }
    }
    if (!writeProcFiles(root, error) || !installStandIns(root, error) ||
        !writePlatformFiles(root, choice.platform, error)) {
        return false;
    }
    // Every device has a network controller, a Rhine unless one was chosen;
    // the one it has already keeps its EEPROM unless another is chosen.
    std::string family = nicFamily(root);
    if (!choice.nic.empty() && choice.nic != family) {
        return writeNicDevice(root, choice.nic, error);
    }
    return !family.empty() || writeNicDevice(root, "rhine", error);
}

// A new device is laid out in a hidden folder beside its place and renamed
// into it once whole, the marker written last: a build that fails or is
// killed leaves nothing a later run takes for a device.
bool buildAfresh(const std::string &root, const DeviceChoice &choice, std::string *error) {
    size_t slash = root.find_last_of('/');
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : root.substr(0, slash);
    std::string name = slash == std::string::npos ? root : root.substr(slash + 1);
    if (!files::makeDirectories(parent, 0755, error)) {
        return false;
    }
    std::string pattern = parent + "/." + name + ".new-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        *error = files::failure("cannot create a folder like", pattern);
        return false;
    }
    std::string building = buffer.data();
    bool built = ::chmod(building.c_str(), 0755) == 0;
    if (!built) {
        *error = files::failure("cannot set the mode of", building);
    }
    built = built && layOut(building, choice, error) &&
            files::replaceFile(building + kMarker, "simulated thin client\n", 0644, error);
    // An empty folder at the place is replaced; anything else there now
    // makes the rename fail.
    if (built && ::rename(building.c_str(), root.c_str()) != 0) {
        *error = files::failure("cannot move the new device into", root);
        built = false;
    }
    std::string leftover;
    if (!built && !files::removeTree(building, &leftover)) {
        *error += "; " + leftover;
    }
    return built;
}

}  // namespace

bool isDevice(const std::string &dir) {
    struct stat info;
    return !dir.empty() && ::stat((dir + kMarker).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool buildDevice(const std::string &dir, std::string *error) {
    return buildDevice(dir, DeviceChoice(), error);
}

bool buildDevice(const std::string &dir, const DeviceChoice &choice, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    if (dir.empty()) {
        *error = "no directory given for the simulated device";
        return false;
    }
    std::string root = withoutTrailingSlashes(dir);
    if (isDevice(root)) {
        return layOut(root, choice, error);
    }
    if (files::exists(root) && !isEmptyDirectory(root, error)) {
        return false;
    }
    return buildAfresh(root, choice, error);
}

}  // namespace sim
