/* The device record that the agent reports and the library fills or applies,
   its list entries, and the row layouts of the exported platform tables. */
#ifndef IXO_PLATFORM_DATA_H
#define IXO_PLATFORM_DATA_H

#include <stddef.h>
#include <stdint.h>

#include "ixo/export.h"

IXO_BEGIN_DECLS

#define IXO_TEXT_FIELD_SIZE 1024

/* Every list entry begins with its text, so a pointer to an entry is also a
   pointer to its text. */
typedef struct DnsServerEntry {
    char address[IXO_TEXT_FIELD_SIZE];
    struct DnsServerEntry *next;
} DnsServerEntry;

typedef struct DnsSuffixEntry {
    char suffix[IXO_TEXT_FIELD_SIZE];
    struct DnsSuffixEntry *next;
} DnsSuffixEntry;

typedef struct WinsServerEntry {
    char address[IXO_TEXT_FIELD_SIZE];
    struct WinsServerEntry *next;
} WinsServerEntry;

typedef struct AssetTagEntry {
    char name[IXO_TEXT_FIELD_SIZE];
    char value[IXO_TEXT_FIELD_SIZE];
    struct AssetTagEntry *next;
} AssetTagEntry;

typedef struct WriteableMediaEntry {
    char deviceName[IXO_TEXT_FIELD_SIZE];
    uint8_t ideDrive;
    uint8_t ideChannel;
    uint8_t partitionNumber;
    uint8_t bootIndicator;
    uint32_t startSector;
    uint32_t sectorCount;
    uint32_t partitionType;
    /* the agent's own members */
    uint32_t sizeInMegabytes;
    struct WriteableMediaEntry *next;
} WriteableMediaEntry;

typedef struct NetworkInterface {
    char mac[IXO_TEXT_FIELD_SIZE];
    uint32_t ipAssignmentType;      /* 0 unknown, 1 static, 2 DHCP, 3 BOOTP */
    char address[IXO_TEXT_FIELD_SIZE];
    char netmask[IXO_TEXT_FIELD_SIZE];
    char gateway[IXO_TEXT_FIELD_SIZE];
    uint32_t interfaceType;         /* 0 other, 1 wired, 2 wireless */
    char description[IXO_TEXT_FIELD_SIZE];   /* the agent's */
    char dhcpServer[IXO_TEXT_FIELD_SIZE];
    uint32_t dhcpEnabled;
    uint32_t active;
    uint32_t onboard;
    uint32_t interfaceIndex;        /* the agent's */
    uint32_t speedSetting;          /* 1 Auto, 10, 100, 1000; 0 unknown */
    uint32_t linkSpeed;             /* 10, 100, 1000; 0 unknown */
    uint32_t duplexSetting;         /* 0 unknown, 1 half, 2 full, 3 Auto */
    uint32_t linkDuplex;            /* 0 unknown, 1 half, 2 full */
    uint32_t isPrimary;
    DnsServerEntry *dnsServers;
    DnsSuffixEntry *dnsSuffixes;
    WinsServerEntry *winsServers;
    uint32_t dnsServerCount;        /* the agent's */
    uint32_t winsServerCount;       /* the agent's */
    struct NetworkInterface *next;
} NetworkInterface;

typedef struct PlatformData {
    char biosName[IXO_TEXT_FIELD_SIZE];
    char biosVersion[IXO_TEXT_FIELD_SIZE];
    uint32_t hostNameAssignmentType; /* 0 not set, 1 entered, 2 MAC, 3 DHCP, 4 DNS */
    char hostName[IXO_TEXT_FIELD_SIZE];
    uint32_t totalMemory;            /* kB */
    char processorType[IXO_TEXT_FIELD_SIZE];
    uint32_t processorSpeed;         /* MHz */
    char serialNumber[IXO_TEXT_FIELD_SIZE];
    char platform[IXO_TEXT_FIELD_SIZE];
    char securityKey[IXO_TEXT_FIELD_SIZE];
    char locale[IXO_TEXT_FIELD_SIZE];
    uint32_t biosSize;
    uint32_t eepromSize;
    uint32_t cmosSize;
    NetworkInterface *networkList;
    WriteableMediaEntry *writeableMedia;
    AssetTagEntry *assetTags;
    /* the agent's own members */
    uint32_t networkCount;
    uint32_t writeableMediaCount;
    uint32_t assetTagCount;
} PlatformData;

/* Rows of the exported tables; their sizes are part of the interface. */
typedef struct PlatformTranslationRow {
    char codename[20];
    char modelName[20];
    char biosVendor[20];
    uint32_t biosSize;
    uint32_t eepromSize;
    uint32_t cmosSize;
} PlatformTranslationRow;

typedef struct CpuTranslationRow {
    char modelKey[20];
    uint32_t reportedSpeedLimit;
    char processorName[100];
    uint32_t processorSpeed;
} CpuTranslationRow;

typedef struct NetworkInterfaceSection {
    char sectionName[20];
    char cachedMac[20];
    char reserved[760];
} NetworkInterfaceSection;

IXO_STATIC_ASSERT(sizeof(PlatformTranslationRow) == 72, "platform table rows are 72 bytes");
IXO_STATIC_ASSERT(offsetof(PlatformTranslationRow, biosSize) == 60, "sizes follow the three names");
IXO_STATIC_ASSERT(sizeof(CpuTranslationRow) == 128, "processor table rows are 128 bytes");
IXO_STATIC_ASSERT(offsetof(CpuTranslationRow, processorName) == 24, "name follows the speed limit");
IXO_STATIC_ASSERT(sizeof(NetworkInterfaceSection) == 800, "interface table rows are 800 bytes");
IXO_STATIC_ASSERT(offsetof(NetworkInterfaceSection, cachedMac) == 20, "MAC follows the section name");
IXO_STATIC_ASSERT(offsetof(DnsServerEntry, address) == 0, "entries begin with their text");
IXO_STATIC_ASSERT(offsetof(DnsSuffixEntry, suffix) == 0, "entries begin with their text");
IXO_STATIC_ASSERT(offsetof(WinsServerEntry, address) == 0, "entries begin with their text");
IXO_STATIC_ASSERT(offsetof(AssetTagEntry, name) == 0, "entries begin with their text");
IXO_STATIC_ASSERT(offsetof(AssetTagEntry, value) == IXO_TEXT_FIELD_SIZE, "tag value follows its name");
IXO_STATIC_ASSERT(offsetof(WriteableMediaEntry, deviceName) == 0, "entries begin with their text");
IXO_STATIC_ASSERT(offsetof(WriteableMediaEntry, startSector) == IXO_TEXT_FIELD_SIZE + 4,
                  "four 8-bit fields precede the sector numbers");
IXO_STATIC_ASSERT(sizeof(((NetworkInterface *)0)->mac) == IXO_TEXT_FIELD_SIZE, "1024-byte texts");
IXO_STATIC_ASSERT(sizeof(((PlatformData *)0)->biosName) == IXO_TEXT_FIELD_SIZE, "1024-byte texts");

/* The exported tables. Each ends with an all-zero row; walks stop at the
   first row whose first text is empty. */
#define IXO_PLATFORM_TRANSLATION_ROWS 14
#define IXO_CPU_TRANSLATION_ROWS 5
#define IXO_NETWORK_INTERFACE_ROWS 5

/* Known platforms: codename, model name, BIOS vendor and sizes. */
IXO_API extern const PlatformTranslationRow platformTranslation[IXO_PLATFORM_TRANSLATION_ROWS];
/* Processor names by model key and reported speed, for the agent. */
IXO_API extern const CpuTranslationRow cpuTranslation[IXO_CPU_TRANSLATION_ROWS];
/* The interface sections the library knows, with the MAC address last read
   for each from the temporary registry. The MACs are process-wide and keep
   their last value; the agent serialises every use. */
IXO_API extern NetworkInterfaceSection networkInterfaces[IXO_NETWORK_INTERFACE_ROWS];

IXO_END_DECLS

#endif
