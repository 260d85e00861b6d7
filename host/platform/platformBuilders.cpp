// The builders of the configuration and inventory record. Every entry is
// zero-filled and appended at the end of its list, so the first entry added
// stays the head and the library reads the lists in the order they were
// built. Entries are allocated with the C allocator; freePlatformData
// releases them.
#include <cstdlib>

#include "host/platform/platformBuilders.h"

namespace {

bool releaseFails = false;

// Appends a new zero-filled entry to the list that starts at *head.
template <typename Entry>
Entry *appendEntry(Entry **head) {
    Entry *entry = static_cast<Entry *>(std::calloc(1, sizeof(Entry)));
    if (entry == nullptr) {
        ixoLogger("Agent", __func__, __LINE__, 1, "out of memory for a list entry");
        return nullptr;
    }
    Entry **tail = head;
    while (*tail != nullptr) {
        tail = &(*tail)->next;
    }
    *tail = entry;
    return entry;
}

template <typename Entry>
void freeList(Entry **head) {
    Entry *entry = *head;
    while (entry != nullptr) {
        Entry *next = entry->next;
        std::free(entry);
        entry = next;
    }
    *head = nullptr;
}

}  // namespace

extern "C" {

NetworkInterface *addNetworkInterface(PlatformData *data) {
    if (data == nullptr) {
        return nullptr;
    }
    NetworkInterface *net = appendEntry(&data->networkList);
    if (net != nullptr) {
        ++data->networkCount;
    }
    return net;
}

DnsServerEntry *addDnsServer(NetworkInterface *net) {
    if (net == nullptr) {
        return nullptr;
    }
    DnsServerEntry *entry = appendEntry(&net->dnsServers);
    if (entry != nullptr) {
        ++net->dnsServerCount;
    }
    return entry;
}

DnsSuffixEntry *addDnsSuffix(NetworkInterface *net) {
    return net != nullptr ? appendEntry(&net->dnsSuffixes) : nullptr;
}

WinsServerEntry *addWinsServer(NetworkInterface *net) {
    if (net == nullptr) {
        return nullptr;
    }
    WinsServerEntry *entry = appendEntry(&net->winsServers);
    if (entry != nullptr) {
        ++net->winsServerCount;
    }
    return entry;
}

WriteableMediaEntry *addWriteableMedia(PlatformData *data) {
    if (data == nullptr) {
        return nullptr;
    }
    WriteableMediaEntry *entry = appendEntry(&data->writeableMedia);
    if (entry != nullptr) {
        ++data->writeableMediaCount;
    }
    return entry;
}

int freePlatformData(PlatformData *data) {
    if (data == nullptr) {
        ixoLogger("Agent", __func__, __LINE__, 1, "no platform data to free");
        return -1;
    }
    for (NetworkInterface *net = data->networkList; net != nullptr; net = net->next) {
        freeList(&net->dnsServers);
        freeList(&net->dnsSuffixes);
        freeList(&net->winsServers);
        net->dnsServerCount = 0;
        net->winsServerCount = 0;
    }
    freeList(&data->networkList);
    freeList(&data->writeableMedia);
    freeList(&data->assetTags);
    data->networkCount = 0;
    data->writeableMediaCount = 0;
    data->assetTagCount = 0;
    if (releaseFails) {
        releaseFails = false;
        ixoLogger("Agent", __func__, __LINE__, 1, "platform data released with an error");
        return -1;
    }
    return 0;
}

}  // extern "C"

namespace agent {

AssetTagEntry *addAssetTag(PlatformData *data) {
    if (data == nullptr) {
        return nullptr;
    }
    AssetTagEntry *entry = appendEntry(&data->assetTags);
    if (entry != nullptr) {
        ++data->assetTagCount;
    }
    return entry;
}

void failNextPlatformDataRelease() { releaseFails = true; }

}  // namespace agent
