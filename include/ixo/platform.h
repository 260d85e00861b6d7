/* Platform data collection and configuration, network interface inventory. */
#ifndef IXO_PLATFORM_H
#define IXO_PLATFORM_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Reads the interface of registry section sectionName ("Network-eth0" ...)
   from the open registry and appends it to platformData's networkList,
   with its live link state for a wired interface. -1 when the section has
   no "mac" (nothing appended) or a required value cannot be read (the
   interface stays appended as far as it was read); 0 otherwise, also when
   no interface could be allocated. */
IXO_API int getNetworkInterfaceData(int registry, PlatformData *platformData,
                                    const char *sectionName);

/* Applies a configuration record: host name, locale, network interfaces
   (found by MAC) and their change commands, the restarts they need, and the
   asset-tag file. Every step is best effort; the result is 0 when the asset
   tags were applied, else -1 (also for a null record). The record stays the
   caller's; its locale may be rewritten in place (".utf8" to ".UTF-8"). */
IXO_API int setPlatformData(PlatformData *platformData);

/* Clears the record (free its lists first with freePlatformData) and fills
   it with the device's inventory: device fields, one interface with its MAC,
   the flash and IDE partitions, the platform's BIOS, EEPROM and CMOS sizes.
   0, or -1 for a null record. */
IXO_API int getPlatformData(PlatformData *platformData);
/* The sizes of the platformTranslation row whose codename begins the
   record's platform text (any case). 0, or -1 when no row matches. */
IXO_API int getBiosEepromCmosAsset(PlatformData *platformData);

IXO_END_DECLS

#endif
