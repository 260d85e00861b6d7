// Inside the registry store: one open registry file, its cached content, and
// the file operations behind the C primitives (see host/registry/registry.h).
#pragma once

#include <sys/stat.h>

#include <string>

#include "host/registry/registryFormat.h"

namespace agent::registry {

// Logs message as a registry error (level 1) at function:line, hands it back
// in error when given, and returns false.
bool fail(std::string *error, const char *function, int line, const std::string &message);
// "what 'path': reason of errno".
std::string systemFailure(const std::string &what, const std::string &path);

// An open descriptor, closed when it goes out of scope. Where a failing close
// matters (a file just written) closeChecked reports it.
struct Fd {
    int fd = -1;

    Fd() = default;
    explicit Fd(int descriptor) : fd(descriptor) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd(other.fd) { other.fd = -1; }
    Fd &operator=(Fd &&other) noexcept;
    ~Fd();
};
bool closeChecked(Fd *file, const std::string &path, std::string *error);

struct RegistryPath {
    std::string shown;      // the device path, for messages and the hook
    std::string host;       // the file on the host, symbolic links followed
    std::string directory;  // its directory on the host
    std::string base;       // its name in that directory
};
bool resolveRegistryPath(const std::string &devicePath, RegistryPath *path, std::string *error);
void setHostRegistryDirectory(const std::string &directory);
// Where the registry's write lock is kept (see registryLock.cpp).
std::string lockFolder(const RegistryPath &path);
// mkstemp pattern for a new version of the file: hidden, so that nothing
// takes it for the registry.
std::string tempFilePattern(const RegistryPath &path);
bool isTempFileName(const RegistryPath &path, const std::string &name);

struct Store {
    RegistryPath path;
    Document document;
    bool loaded = false;   // document is the content of the file identified below
    bool present = false;  // the file existed when it was last read
    // The file last read, held open so that its inode number cannot be given
    // to a newer file: an equal inode number then always means the same file.
    Fd pinned;
    struct stat identity {};
};

// Brings store->document up to date with the file.
bool readRegistry(Store *store, std::string *error);
// Replaces the file with content atomically. The caller holds the write lock
// and has just read the file.
bool writeRegistry(Store *store, const std::string &content, std::string *error);

// Exclusive across processes until lock is closed. Fails when another writer
// holds the lock for longer than agent::registryLockWait().
bool lockRegistry(const RegistryPath &path, Fd *lock, std::string *error);
// Under the lock no writer of ours is between creating and renaming its
// temporary file: any left is a killed writer's.
void removeStrayTempFiles(const RegistryPath &path);

bool openStore(const std::string &devicePath, Store *store, std::string *error);
// found is false (and value untouched) when the key is absent.
bool readValue(Store *store, const std::string &section, const std::string &key, std::string *value,
               bool *found, std::string *error);
// The names and value must have passed the checks of registryFormat.h.
bool writeValue(Store *store, const std::string &section, const std::string &key,
                const std::string &value, std::string *error);
bool deleteSection(Store *store, const std::string &section, std::string *error);

// The device's registry-change hook, run by reg_close_action.
std::string hookCommandLine(const std::string &hook, const std::string &registry);
void runChangeHook(const std::string &registryDevicePath);

}  // namespace agent::registry
