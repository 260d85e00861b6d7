// The registry primitives the library calls, and their handle table. Rules and
// results: host/registry/registry.h.
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "host/host.h"
#include "host/registry/registry.h"
#include "host/registry/registryStore.h"

using agent::registry::Store;

namespace {

// Each handle holds its last-read file open: a library that never closes
// its handles must run out of handles, not of descriptors.
constexpr size_t kMaxOpenHandles = 256;

// One call at a time: a call's locking and file replacement must not overlap
// another's in this process.
std::mutex tableMutex;
std::map<int, std::unique_ptr<Store>> handles;
int lastHandle = 0;

const char *shown(const char *text) { return text != nullptr ? text : "(null)"; }

Store *findHandle(int handle, const char *function, int line) {
    auto found = handles.find(handle);
    if (found == handles.end()) {
        ixoLogger("Registry", function, line, 1, "handle %d is not an open registry", handle);
        return nullptr;
    }
    return found->second.get();
}

// The device path of the registry whose handle was released, or false.
bool releaseHandle(int handle, const char *function, int line, std::string *registry) {
    std::lock_guard<std::mutex> lock(tableMutex);
    Store *store = findHandle(handle, function, line);
    if (store == nullptr) {
        return false;
    }
    *registry = store->path.shown;
    handles.erase(handle);
    return true;
}

}  // namespace

extern "C" int reg_open(const char *fileName) {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (fileName == nullptr) {
        ixoLogger("Registry", __func__, __LINE__, 1, "no registry file name given");
        return 0;
    }
    if (handles.size() >= kMaxOpenHandles || lastHandle == INT_MAX) {
        ixoLogger("Registry", __func__, __LINE__, 1, "cannot open %s: too many registry handles",
                  fileName);
        return 0;
    }
    auto store = std::make_unique<Store>();
    if (!agent::registry::openStore(fileName, store.get(), nullptr)) {
        return 0;
    }
    int handle = ++lastHandle;
    handles[handle] = std::move(store);
    return handle;
}

extern "C" int reg_get(int handle, char *value, const char *section, const char *key,
                       const char *defaultValue) {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (value == nullptr) {
        ixoLogger("Registry", __func__, __LINE__, 1, "no buffer for [%s] %s", shown(section),
                  shown(key));
        return 1;
    }
    // Before the buffer is touched: a caller may pass it as its own default.
    std::string fallback = defaultValue != nullptr ? defaultValue : "";
    value[0] = '\0';
    Store *store = findHandle(handle, __func__, __LINE__);
    if (store == nullptr) {
        return 1;
    }
    if (section == nullptr || key == nullptr) {
        ixoLogger("Registry", __func__, __LINE__, 1, "null section or key for %s",
                  store->path.shown.c_str());
        return 1;
    }
    std::string text;
    bool found = false;
    if (!agent::registry::readValue(store, section, key, &text, &found, nullptr)) {
        return 1;
    }
    if (!found) {
        text = fallback;
    }
    if (text.size() > agent::registry::kMaxValueLength) {
        ixoLogger(
            "Registry", __func__, __LINE__, 1,
            "%s of [%s] %s in %s has %zu characters, more than the %zu a caller's buffer holds",
            found ? "value" : "default", section, key, store->path.shown.c_str(), text.size(),
            agent::registry::kMaxValueLength);
        return 1;
    }
    std::memcpy(value, text.c_str(), text.size() + 1);
    return 0;
}

extern "C" int reg_set(int handle, const char *section, const char *key, const char *value) {
    std::lock_guard<std::mutex> lock(tableMutex);
    Store *store = findHandle(handle, __func__, __LINE__);
    if (store == nullptr) {
        return -1;
    }
    std::string reason;
    if (!agent::registry::validSectionName(section, &reason) ||
        !agent::registry::validKeyName(key, &reason) ||
        !agent::registry::validValue(value, &reason)) {
        ixoLogger("Registry", __func__, __LINE__, 1, "refusing to set [%s] %s in %s: %s",
                  shown(section), shown(key), store->path.shown.c_str(), reason.c_str());
        return -1;
    }
    return agent::registry::writeValue(store, section, key, value, nullptr) ? 0 : -1;
}

extern "C" int reg_del(int handle, const char *name) {
    std::lock_guard<std::mutex> lock(tableMutex);
    Store *store = findHandle(handle, __func__, __LINE__);
    if (store == nullptr) {
        return -1;
    }
    std::string reason;
    if (!agent::registry::validSectionName(name, &reason)) {
        ixoLogger("Registry", __func__, __LINE__, 1, "refusing to delete a section of %s: %s",
                  store->path.shown.c_str(), reason.c_str());
        return -1;
    }
    return agent::registry::deleteSection(store, name, nullptr) ? 0 : -1;
}

extern "C" int reg_close(int handle) {
    std::string registry;
    return releaseHandle(handle, __func__, __LINE__, &registry) ? 0 : -1;
}

extern "C" int reg_close_no_action(int handle) {
    std::string registry;
    return releaseHandle(handle, __func__, __LINE__, &registry) ? 0 : -1;
}

extern "C" int reg_close_action(int handle) {
    std::string registry;
    if (!releaseHandle(handle, __func__, __LINE__, &registry)) {
        return -1;
    }
    // Outside the table lock: the hook may take its time, or use the registry.
    agent::registry::runChangeHook(registry);
    return 0;
}

namespace agent {

bool lookUpRegistryEntry(int handle, const std::string &section, const std::string &key,
                         RegistryEntry *entry) {
    std::lock_guard<std::mutex> lock(tableMutex);
    Store *store = findHandle(handle, __func__, __LINE__);
    std::string text;
    bool found = false;
    if (store == nullptr || !registry::readValue(store, section, key, &text, &found, nullptr)) {
        return false;
    }
    *entry = found                                       ? RegistryEntry::Found
             : !store->present                           ? RegistryEntry::NoFile
             : !registry::hasSection(store->document, section) ? RegistryEntry::NoSection
                                                         : RegistryEntry::NoKey;
    return true;
}

}  // namespace agent
