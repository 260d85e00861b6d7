/* The network controller's EEPROM: discovery, transfers and asset record. */
#ifndef IXO_EEPROM_H
#define IXO_EEPROM_H

#include "ixo/export.h"

IXO_BEGIN_DECLS

/* A request-mask byte and eight 256-byte value slots, passed as a pointer to
   its first byte. */
typedef unsigned char EepromAssetRecord[2049];
IXO_STATIC_ASSERT(sizeof(EepromAssetRecord) == 2049, "asset record is 2049 bytes");

IXO_END_DECLS

#endif
