/* The network controller's EEPROM: discovery, transfers and asset record. */
#ifndef IXO_EEPROM_H
#define IXO_EEPROM_H

#include <stddef.h>
#include <stdint.h>

#include "ixo/export.h"

IXO_BEGIN_DECLS

/* A request-mask byte and eight 256-byte value slots, passed as a pointer to
   its first byte. */
typedef unsigned char EepromAssetRecord[2049];
IXO_STATIC_ASSERT(sizeof(EepromAssetRecord) == 2049, "asset record is 2049 bytes");

/* Request bits of byte 0, and where each value's slot begins. The hardware
   revision lives in slot 3 and the station address in slot 2. */
#define ASSET_SERIAL_NUMBER     0x01
#define ASSET_SECURITY_KEY      0x02
#define ASSET_HARDWARE_REVISION 0x04
#define ASSET_MAC_ADDRESS       0x08
#define ASSET_ACTIVE_CHECKSUM   0x10
#define ASSET_FULL_CHECKSUM     0x20
#define ASSET_CMOS_VALUE        0x40
#define EEPROM_ASSET_SLOT_SIZE  256
#define EEPROM_ASSET_SLOT(k)    (1 + EEPROM_ASSET_SLOT_SIZE * (k))
/* The bytes a write takes from the serial number's and the CMOS block's
   slots, whatever the family. */
#define ASSET_SERIAL_NUMBER_BYTES 11
#define ASSET_CMOS_VALUE_BYTES    42

/* The module-wide image: 64 little-endian 16-bit words. */
#define EEPROM_IMAGE_SIZE 128

/* The controller operations a table row dispatches to. "done" is 1. */
typedef int (*EepromReadOperation)(unsigned short ioBase, unsigned char *image);
typedef int (*EepromWriteOperation)(unsigned short ioBase, unsigned char *image,
                                    unsigned char *record);
typedef void (*EepromFillOperation)(unsigned char *image, unsigned char *record);

typedef struct pcidev_row {
    const char *short_name;
    const char *long_name;
    int vendor_id;   /* 0 ends the table */
    int device_id;
    int device_mask; /* not consulted by the matching */
    int flags;
    int io_size;
    unsigned short io_addr; /* set by scan_proc_bus_pci on a match */
    EepromReadOperation read_eeprom;
    EepromWriteOperation write_eeprom;
    EepromFillOperation fill_asset;
} pcidev_row;
IXO_STATIC_ASSERT(offsetof(pcidev_row, vendor_id) == 2 * sizeof(void *), "pcidev_row names");
IXO_STATIC_ASSERT(offsetof(pcidev_row, io_addr) == 2 * sizeof(void *) + 5 * 4,
                  "pcidev_row io_addr follows five 32-bit integers");
IXO_STATIC_ASSERT(offsetof(pcidev_row, read_eeprom) ==
                      (2 * sizeof(void *) + 5 * 4 + 2 + sizeof(void *) - 1) / sizeof(void *) *
                          sizeof(void *),
                  "pcidev_row operations follow io_addr");
IXO_STATIC_ASSERT(sizeof(pcidev_row) == (sizeof(void *) == 4 ? 44 : 64), "pcidev_row size");

/* ---- the controller families ------------------------------------------- */
/* How a checksum adds up what it covers. */
#define IXO_EEPROM_SUM_NONE  0 /* the family keeps no such checksum */
#define IXO_EEPROM_SUM_BYTES 1 /* 8-bit sum of bytes */
#define IXO_EEPROM_SUM_WORDS 2 /* 16-bit sum of the image's little-endian words */

/* The negation of the sum of bytes or words first to last, held in byte or
   word `stored`: together they add up to 0. */
typedef struct IxoEepromChecksum {
    int sum; /* IXO_EEPROM_SUM_... */
    int first;
    int last;
    int stored;
} IxoEepromChecksum;

/* Where the value of one request bit goes: a read copies readBytes image
   bytes from readOffset into the record's slot, a write puts writeBytes of
   the slot at writeOffset. Offsets -1 and no bytes: the family does not
   serve the bit. */
typedef struct IxoEepromPlace {
    unsigned char bit;
    int slot;
    int readOffset;
    int readBytes;
    int writeOffset;
    int writeBytes;
} IxoEepromPlace;

/* What a controller family keeps where in the 128-byte image, and how much
   of the image reaches its EEPROM. */
typedef struct IxoEepromFamily {
    const char *name; /* "rhine", "velocity", "realtek", "jmicron" */
    /* Why the values outside storedBits are not the EEPROM's. */
    const char *notStoredReason;
    unsigned char servedBits; /* the request bits its operations serve */
    unsigned char storedBits; /* those whose values its EEPROM holds */
    IxoEepromPlace values[8]; /* request bits 0x01 to 0x80, in that order */
    IxoEepromChecksum active; /* over the controller's own configuration */
    IxoEepromChecksum full;
    int deviceBytes;           /* the leading image bytes that reach the EEPROM */
    int unitBytes;             /* the EEPROM's unit: 2 (16-bit words) or 1 (bytes) */
    unsigned int firstAddress; /* the EEPROM address of image byte 0, in units */
} IxoEepromFamily;

/* The families, in a list ended by one without a name. */
IXO_API const IxoEepromFamily *ixoEepromFamilies(void);

typedef struct IxoEepromController {
    const char *shortName; /* its row of pcidev_tbl */
    const char *longName;
    unsigned short ioBase;
    const IxoEepromFamily *family; /* NULL when its row's operations are no family's */
} IxoEepromController;

/* The controller the last PCI scan found: 0, or -1 when that scan found
   none (or none ran yet). */
IXO_API int ixoEepromController(IxoEepromController *out);

/* ---- discovery and transfers ------------------------------------------- */
/* Ten rows, the last all zero. */
IXO_API extern pcidev_row pcidev_tbl[10];
IXO_API extern unsigned char eeprom_contents[EEPROM_IMAGE_SIZE];
/* Above 0, the PCI scan prints every line it parses. */
IXO_API extern int debug;

IXO_API pcidev_row *scan_proc_bus_pci(void);
/* 0 on success, -1 on failure. */
IXO_API int readEepromAssetValues(unsigned char *record);
IXO_API int writeEepromAssetValues(unsigned char *record);

/* ---- the whole image, for backups and their restore --------------------- */
/* The EEPROM image (EEPROM_IMAGE_SIZE bytes, laid out as eeprom_contents)
   read or written whole through the controller family's own word
   operations, after the transfer's PCI scan and I/O privilege. A write
   stores the image as given: no value merged, no checksum recomputed.
   0, or -1 with the reason logged: a size other than EEPROM_IMAGE_SIZE, no
   controller, a word or byte the controller did not do (every one is still
   tried), or a Realtek controller, whose operations never reach its EEPROM.
   JMicron: image bytes 0-24 are EEPROM bytes 0x40-0x58; a read gives 0xFF
   after them, a write leaves the rest of the image out. */
IXO_API int ixoReadEepromImage(unsigned char *image, int size);
IXO_API int ixoWriteEepromImage(const unsigned char *image, int size);

/* ---- checksums and dump ------------------------------------------------- */
IXO_API unsigned char calculateByteCheckSum(const unsigned char *bytes, unsigned short count);
IXO_API unsigned short calculateWordCheckSum(const unsigned short *words, unsigned short count);
IXO_API void dumpEEPROM(const unsigned char *image);

/* ---- port I/O ------------------------------------------------------------ */
IXO_API void VNSvInPortB(unsigned short port, unsigned char *byte);
IXO_API void VNSvInPortW(unsigned short port, unsigned short *word);
IXO_API void VNSvInPortD(unsigned short port, uint32_t *dword);
IXO_API void VNSvOutPortB(unsigned short port, unsigned char byte);
IXO_API void VNSvOutPortW(unsigned short port, unsigned short word);
IXO_API void VNSvOutPortD(unsigned short port, uint32_t dword);

/* ---- VIA Rhine: 93C46 serial EEPROM driven through EECSR ----------------- */
IXO_API unsigned short SROMwReadDirect(unsigned short ioBase, unsigned char wordAddress);
IXO_API void SROMvIssueDirect(unsigned short ioBase, unsigned short command);
IXO_API unsigned char SROMbWriteDirect(unsigned short ioBase, unsigned char wordAddress,
                                       unsigned short word);
IXO_API void SROMvReadAllContents(unsigned short ioBase, unsigned short *words);
IXO_API void SROMvWriteAllContents(unsigned short ioBase, const unsigned short *words);
IXO_API unsigned char *viaGetMacAddress(unsigned char *image);
IXO_API unsigned char *viaGetSerialNumber(unsigned char *image);
IXO_API unsigned char *viaGetSecurityKey(unsigned char *image);
IXO_API unsigned char *viaGetHardwareRevision(unsigned char *image);
IXO_API unsigned char *viaGetActiveCheckSum(unsigned char *image);
IXO_API unsigned char *viaGetFullCheckSum(unsigned char *image);
IXO_API int readViaEeprom(unsigned short ioBase, unsigned char *image);
IXO_API int writeViaEeprom(unsigned short ioBase, unsigned char *image, unsigned char *record);
IXO_API void fillViaEepromAsset(unsigned char *image, unsigned char *record);

/* ---- VIA Velocity: embedded EEPROM engine -------------------------------- */
IXO_API unsigned char MACbyReadEECSRNevika(unsigned short ioBase);
IXO_API unsigned char MACbIsRegBitsOff(unsigned short ioBase, unsigned char registerOffset,
                                       unsigned char mask);
IXO_API void PCAvDelayByIO(unsigned short count);
/* 0 when the command was refused or timed out. */
IXO_API unsigned short SROMbReadEmbededNevika(unsigned short ioBase, unsigned char wordAddress);
IXO_API unsigned char SROMbIssueEmbeded(unsigned short ioBase, unsigned short command);
IXO_API unsigned char SROMbWriteEmbededNevika(unsigned short ioBase, unsigned char ignored,
                                              unsigned char wordAddress, unsigned short word);
IXO_API int readViaEepromVelocity(unsigned short ioBase, unsigned char *image);
IXO_API int writeViaEepromVelocity(unsigned short ioBase, unsigned char *image,
                                   unsigned char *record);

/* ---- Realtek: the image only; the device is not touched ------------------- */
IXO_API unsigned char *rtlGetMacAddress(unsigned char *image);
IXO_API unsigned char *rtlGetSerialNumber(unsigned char *image);
IXO_API unsigned char *rtlGetSecurityKey(unsigned char *image);
IXO_API unsigned char *rtlGetHardwareRevision(unsigned char *image);
IXO_API unsigned char *rtlGetActiveCheckSum(unsigned char *image);
IXO_API unsigned char *rtlGetFullCheckSum(unsigned char *image);
IXO_API int readRtlEeprom(unsigned short ioBase);
IXO_API int writeRtlEeprom(unsigned short ioBase, unsigned char *image, unsigned char *record);
IXO_API void fillRtlEepromAsset(unsigned char *image, unsigned char *record);

/* ---- JMicron: EEPROM bytes 0x40-0x58 over the SMBus master at 0x2040 ------- */
IXO_API uint32_t io_read32(unsigned int port);
IXO_API void io_write32(unsigned int port, uint32_t value);
IXO_API void io_delay15us(unsigned int count);
/* 0 when the awaited condition came, 1 on timeout. */
IXO_API unsigned short is_smb_busy(unsigned int base);
IXO_API unsigned short is_smb_finish(unsigned int base);
IXO_API unsigned short is_smb_error(unsigned int base);
IXO_API void clear_smb_error_status(unsigned int base);
/* The byte, or 0xFF on failure. */
IXO_API unsigned char smb_read8(unsigned int base, unsigned short address);
/* 0 on success, 0xFF on failure. */
IXO_API unsigned char smb_write8(unsigned int base, unsigned short address, unsigned char data);
IXO_API unsigned char read_eeprom_jmicron(unsigned int base, unsigned short address);
IXO_API int write_eeprom_jmicron(unsigned int base, const unsigned char *image);
IXO_API unsigned char *jmicronGetSecurityKey(unsigned char *image);
IXO_API int readJmicronEeprom(unsigned short base, unsigned char *image);
IXO_API int writeJmicronEeprom(unsigned short base, unsigned char *image, unsigned char *record);
IXO_API void fillJmicronEepromAsset(unsigned char *image, unsigned char *record);

IXO_END_DECLS

#endif
