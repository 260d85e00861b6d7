#include "agent/eepromBackup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "agent/argumentFile.h"
#include "agent/cliCommands.h"
#include "host/host.h"
#include "src/handles.h"

namespace agent {

namespace {

// An info file is a few short lines.
constexpr size_t kMaxInfoSize = 4096;
constexpr int kNamesTried = 100;

bool writeAll(int fd, const void *data, size_t size) {
    const char *at = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t count = ::write(fd, at, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        at += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

enum class Made { Yes, NameTaken, Failed };

// A new file holding content, synced. A name already taken (by anything, a
// link included) is left alone.
Made makeFile(const std::string &path, const void *content, size_t size, std::string *error) {
    handles::Descriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.fd < 0) {
        if (errno == EEXIST) {
            return Made::NameTaken;
        }
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return Made::Failed;
    }
    if (!writeAll(file.fd, content, size) || ::fsync(file.fd) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(path.c_str());
        return Made::Failed;
    }
    int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(path.c_str());
        return Made::Failed;
    }
    return Made::Yes;
}

bool syncDirectory(const std::string &directory, std::string *error) {
    handles::Descriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0 || ::fsync(folder.fd) != 0) {
        *error = "cannot sync " + directory + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string infoText(const BackupInfo &info) {
    return "family=" + info.family + "\ncontroller=" + info.controller + "\nioBase=" + info.ioBase +
           "\ntime=" + info.time + "\n";
}

}  // namespace

std::string backupDirectory(const std::string &deviceRoot, std::string *error) {
    if (deviceRoot.empty()) {
        char here[4096];
        if (getcwd(here, sizeof here) == nullptr) {
            *error = std::string("cannot tell the current directory: ") + std::strerror(errno);
            return "";
        }
        return here;
    }
    std::string directory = agent::devicePath("/var/lib/ixo");
    if (directory.empty()) {
        *error = "cannot resolve /var/lib/ixo inside the device root " + deviceRoot;
        return "";
    }
    if (!makeParents(directory + "/", error)) {
        return "";
    }
    return directory;
}

std::string backupInfoPath(const std::string &backup) { return backup + ".info"; }

std::string saveBackup(const std::string &directory, const unsigned char *image, int size,
                       BackupInfo *info, std::string *error) {
    std::time_t now = std::time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) {
        *error = "cannot tell the local time";
        return "";
    }
    char stamp[32];
    char time[40];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%S%z", &local);
    info->time = time;
    std::string content = infoText(*info);
    for (int attempt = 0; attempt < kNamesTried; ++attempt) {
        std::string path = directory + "/eeprom-backup-" + stamp +
                           (attempt > 0 ? "-" + std::to_string(attempt) : "") + ".bin";
        Made backup = makeFile(path, image, static_cast<size_t>(size), error);
        if (backup == Made::NameTaken) {
            continue;
        }
        if (backup == Made::Failed) {
            return "";
        }
        Made infoFile = makeFile(backupInfoPath(path), content.data(), content.size(), error);
        if (infoFile == Made::Yes && syncDirectory(directory, error)) {
            return path;
        }
        ::unlink(path.c_str());
        if (infoFile == Made::Yes) {
            ::unlink(backupInfoPath(path).c_str());
        }
        if (infoFile != Made::NameTaken) {
            return "";
        }
    }
    *error = "too many backups in " + directory + " this second";
    return "";
}

bool readBackupInfo(const std::string &backup, bool *present, BackupInfo *info,
                    std::string *error) {
    std::string path = backupInfoPath(backup);
    struct stat status;
    *present = ::lstat(path.c_str(), &status) == 0 || errno != ENOENT;
    if (!*present) {
        return true;
    }
    std::string content;
    if (!readArgumentFile(path, kMaxInfoSize, &content, error)) {
        return false;
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        std::string line = content.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? content.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t equals = line.find('=');
        if (line.empty() || equals == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "family") {
            info->family = value;
        } else if (key == "controller") {
            info->controller = value;
        } else if (key == "ioBase") {
            info->ioBase = value;
        } else if (key == "time") {
            info->time = value;
        }
    }
    if (info->family.empty()) {
        *error = path + ": names no family";
        return false;
    }
    return true;
}

}  // namespace agent
