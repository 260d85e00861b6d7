// The device's userland is busybox. Only Debian's static build can run
// inside the root, where there is no C library to load.
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/deviceParts.h"
#include "sim/fileOperations.h"

namespace sim {

namespace {

const char *const kBusyboxCandidates[] = {"/usr/bin/busybox", "/bin/busybox"};

// Applets the device's command lines and the stand-ins use. Programs the
// stand-ins replace (su, reboot, poweroff, ifconfig ...) are left out so that
// a path search finds the stand-in.
const char *const kApplets[] = {
    "sh",       "ash",   "cat",   "grep",     "egrep",   "fgrep", "cut",   "awk",
    "sed",      "head",  "tail",  "rm",       "cp",      "mv",    "mkdir", "rmdir",
    "ls",       "ln",    "sleep", "kill",     "pidof",   "echo",  "printf", "test",
    "[",        "[[",    "true",  "false",    "env",     "touch", "chmod", "chown",
    "wc",       "tr",    "date",  "id",       "ps",      "sort",  "uniq",  "basename",
    "dirname",  "readlink", "realpath", "stat", "xargs", "find",  "tee",   "expr",
    "seq",      "dd",    "od",    "mktemp",   "cmp",     "diff",  "pwd",   "uname",
};

// True when the ELF image asks for no program interpreter, that is, when it
// is statically linked.
bool isStaticElf(const std::string &path, const std::string &image, std::string *error) {
    const auto *ident = reinterpret_cast<const unsigned char *>(image.data());
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        ident[EI_CLASS] != ELFCLASS64) {
        *error = path + " is not a 64-bit ELF program";
        return false;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        size_t offset = header.e_phoff + size_t{i} * header.e_phentsize;
        Elf64_Phdr program;
        if (header.e_phentsize < sizeof program || offset + sizeof program > image.size()) {
            *error = path + " has a damaged program header table";
            return false;
        }
        std::memcpy(&program, image.data() + offset, sizeof program);
        if (program.p_type == PT_INTERP) {
            *error = path + " is dynamically linked: busybox-static is not installed";
            return false;
        }
    }
    return true;
}

bool loadBusybox(std::string *image, std::string *error) {
    for (const char *candidate : kBusyboxCandidates) {
        if (::access(candidate, X_OK) == 0) {
            return files::readFile(candidate, image, error) &&
                   isStaticElf(candidate, *image, error);
        }
    }
    *error = "busybox-static is not installed (no /usr/bin/busybox or /bin/busybox)";
    return false;
}

bool linkApplet(const std::string &binDirectory, const std::string &applet, std::string *error) {
    std::string link = binDirectory + "/" + applet;
    char target[64];
    ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length == 7 && std::memcmp(target, "busybox", 7) == 0) {
        return true;
    }
    // Made beside it and renamed over what stands there: a command line run
    // meanwhile finds the old applet or the new one.
    std::string fresh = link + ".new";
    if (::unlink(fresh.c_str()) != 0 && errno != ENOENT) {
        *error = files::failure("cannot remove", fresh);
        return false;
    }
    if (::symlink("busybox", fresh.c_str()) != 0) {
        *error = files::failure("cannot link the applet", fresh);
        return false;
    }
    if (::rename(fresh.c_str(), link.c_str()) != 0) {
        *error = files::failure("cannot put in place", link);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool installBusybox(const std::string &root, std::string *error) {
    std::string image;
    if (!loadBusybox(&image, error)) {
        return false;
    }
    std::string binDirectory = root + "/bin";
    if (!files::replaceFile(binDirectory + "/busybox", image, 0755, error)) {
        return false;
    }
    for (const char *applet : kApplets) {
        if (!linkApplet(binDirectory, applet, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace sim
