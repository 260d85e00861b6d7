// The operations on one open registry, and the one-shot helpers built on them.
#include "host/registry/registryStore.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "host/registry/registry.h"

namespace agent::registry {

namespace {

// Read, change and write under the lock, so that a change made by another
// process in between is never lost.
bool changeRegistry(Store *store, const std::function<bool(Document *)> &change,
                    std::string *error) {
    Fd lock;
    if (!lockRegistry(store->path, &lock, error)) {
        return false;
    }
    removeStrayTempFiles(store->path);
    if (!readRegistry(store, error)) {
        return false;
    }
    Document changed = store->document;
    if (!change(&changed)) {
        return true;
    }
    return writeRegistry(store, serialiseDocument(changed), error);
}

// A std::string may hold a NUL that the checks on its C string would not see.
bool checkedName(const std::string &text, const char *what, std::string *error) {
    if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
        return fail(error, __func__, __LINE__, std::string(what) + " holds a NUL character");
    }
    return true;
}

}  // namespace

bool openStore(const std::string &devicePath, Store *store, std::string *error) {
    if (!resolveRegistryPath(devicePath, &store->path, error)) {
        return false;
    }
    struct stat info;
    if (::stat(store->path.directory.c_str(), &info) != 0) {
        return fail(error, __func__, __LINE__,
                    systemFailure("no directory for registry", devicePath));
    }
    if (!S_ISDIR(info.st_mode)) {
        return fail(error, __func__, __LINE__,
                    "no directory for registry '" + devicePath + "': not a directory");
    }
    return readRegistry(store, error);
}

bool readValue(Store *store, const std::string &section, const std::string &key, std::string *value,
               bool *found, std::string *error) {
    if (!readRegistry(store, error)) {
        return false;
    }
    const Line *line = findKey(store->document, section, key);
    *found = line != nullptr;
    if (line != nullptr) {
        *value = line->value();
    }
    return true;
}

bool writeValue(Store *store, const std::string &section, const std::string &key,
                const std::string &value, std::string *error) {
    return changeRegistry(
        store, [&](Document *document) { return setValue(document, section, key, value); }, error);
}

bool deleteSection(Store *store, const std::string &section, std::string *error) {
    return changeRegistry(
        store, [&](Document *document) { return removeSection(document, section); }, error);
}

}  // namespace agent::registry

namespace agent {

using namespace registry;

bool registryGet(const std::string &file, const std::string &section, const std::string &key,
                 std::string *value, std::string *error) {
    Store store;
    bool found = false;
    if (!openStore(file, &store, error) || !readValue(&store, section, key, value, &found, error)) {
        return false;
    }
    if (!found) {
        if (error != nullptr) {
            *error = "no key '" + key + "' in section [" + section + "] of " + file;
        }
        return false;
    }
    return true;
}

bool registrySet(const std::string &file, const std::string &section, const std::string &key,
                 const std::string &value, std::string *error) {
    std::string reason;
    if (!checkedName(section, "section name", error) || !checkedName(key, "key name", error) ||
        !checkedName(value, "value", error)) {
        return false;
    }
    if (!validSectionName(section.c_str(), &reason) || !validKeyName(key.c_str(), &reason) ||
        !validValue(value.c_str(), &reason)) {
        return fail(error, __func__, __LINE__,
                    "refusing to set [" + section + "] " + key + " in " + file + ": " + reason);
    }
    Store store;
    return openStore(file, &store, error) && writeValue(&store, section, key, value, error);
}

bool registryDeleteSection(const std::string &file, const std::string &section,
                           std::string *error) {
    std::string reason;
    if (!checkedName(section, "section name", error)) {
        return false;
    }
    if (!validSectionName(section.c_str(), &reason)) {
        return fail(error, __func__, __LINE__,
                    "refusing to delete section in " + file + ": " + reason);
    }
    Store store;
    return openStore(file, &store, error) && deleteSection(&store, section, error);
}

}  // namespace agent
