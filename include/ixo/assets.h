/* Imaging assets: serial number, security key, CMOS, inventory getters, platform identification. */
#ifndef IXO_ASSETS_H
#define IXO_ASSETS_H

#include <stdint.h>

#include "ixo/agent.h"
#include "ixo/export.h"
#include "ixo/platform_data.h"

IXO_BEGIN_DECLS

/* ---- asset values in the network controller's EEPROM --------------------- */
/* Sizes of the values handed over. */
#define IXO_SERIAL_NUMBER_SIZE 12     /* 11 characters and the EEPROM byte after them */
#define IXO_SERIAL_NUMBER_LENGTH 11   /* characters stored by a write */
#define IXO_CMOS_READ_SIZE 128
#define IXO_CMOS_WRITE_SIZE 42
#define IXO_SECURITY_KEY_TEXT_LENGTH 8 /* "%08X" */

/* Fills serialNumber (12 bytes) and securityKey ("%08X") of the record. 0 or -1. */
IXO_API int getEpromAssets(PlatformData *record);
/* Stores the first 11 characters of the record's serialNumber and the key
   given by its securityKey (exactly 8 hexadecimal digits) in the EEPROM, then
   puts the values written back into the record. -1 when the key text is not
   8 hexadecimal digits (nothing written) or the transfer fails. */
IXO_API int setEpromAssets(PlatformData *record);
/* buffer takes 12 bytes. 0 or -1. */
IXO_API int returnSerialNumber(char *buffer);
/* buffer takes 128 bytes. 0 or -1. */
IXO_API int returnCMOSValue(unsigned char *buffer);
/* 42 bytes are taken from buffer. 0 or -1. */
IXO_API int updateCMOSValue(const unsigned char *buffer);
/* The 32-bit key: from SMBIOS when the agent says so, else from the EEPROM,
   else the fixed key of the platform type on the maker's M CLASS devices.
   1 and 0 are also its failure values. */
IXO_API unsigned int returnSecurityKey(void);
/* 0 or -1. */
IXO_API int updateSecurityKey(unsigned int key);

/* ---- device inventory ------------------------------------------------------ */
/* Memory, platform, BIOS version and vendor, processor, then getEpromAssets.
   -1 when the serial number and key could not be read. */
IXO_API int getdeviceAsset(PlatformData *platformData);
/* Appends one NetworkInterface with only its mac set. */
IXO_API void getNetworkAsset(PlatformData *platformData);
/* One WriteableMediaEntry per partition of /dev/sda ("sdflash"). -1 when the
   drive opened but its first sector could not be read. */
IXO_API int getSDFlashAsset(PlatformData *platformData);
/* The same for every readable IDE drive /dev/hda ... /dev/hdt ("ide"). Always 0. */
IXO_API int getIdeAsset(PlatformData *platformData);
/* The BIOS vendor of the platform text, or "", into biosName (1024 bytes). */
IXO_API void getBiosName(char *biosName, const char *platform);
/* BIOS flash size in bytes from /proc/bios. 0 or -1. */
IXO_API int getBiosAsset(uint32_t *size);
/* sysinfo's totalram, in its mem_unit. */
IXO_API unsigned long getRamSize(void);
/* cylinders x heads x sectors of the drive. 0 or -1. */
IXO_API int getTotalSectorsInDrive(const char *path, uint32_t *total);
/* The drive's HDIO_GETGEO geometry. 0 or -1. */
IXO_API int getDiskGeometry(const char *path, int *cylinders, int *heads, int *sectors);

/* ---- platform identification ------------------------------------------------ */
/* A platform code carries the OS image in bits 8-15 and the hardware in bits
   0-7; bits 16-31 are never looked at. Each predicate answers 1 or 0. */
IXO_API int isThisWESPlatform(int code);
IXO_API int isThisXPEPlatform(int code);
IXO_API int isThisWESSevenPlatform(int code);
IXO_API int isThisWESSevenPPlatform(int code);
IXO_API int isThisOLPVOSPlatform(int code);
IXO_API int isThisOLPlatform(int code);
IXO_API int isThisWESEightPlatform(int code);
IXO_API int isThisWESEight64BitPlatform(int code);
IXO_API int isThisWindowsTen64BitPlatform(int code);
IXO_API int isThisTamskoPlatform(int code);
IXO_API int isThisBrivonPlatform(int code);
IXO_API int isThisKeldarePlatform(int code);
IXO_API int isThisOstaveroPlatform(int code);
IXO_API int isThisMirKaldovestaPlatform(int code);
IXO_API int isThisGorskalPlatform(int code);
IXO_API int isThisJanteloPlatform(int code);
IXO_API int isThisK62Platform(int code);
IXO_API int isThisK84Platform(int code);
IXO_API int isThisK84DPlatform(int code);
IXO_API int isThisK62DPlatform(int code);
IXO_API int isThisK40DPlatform(int code);
IXO_API int isThis64BitArch(int code);

/* SMBIOS and OEM checks. */
IXO_API int isThisNorvPlatform(void);
IXO_API int isTPMPresent(void);
IXO_API int is_Cisco_device(void);

/* The fixed drive's kernel name, from /tmp/FixedDevice; rewritten by every
   fixedDrive and getPlatformType. */
#define IXO_FIXED_DRIVE_NAME_SIZE 128
IXO_API extern char fixedDriveName[IXO_FIXED_DRIVE_NAME_SIZE];
IXO_API void fixedDrive(void);
/* 1 to 4 from the fixed drive's partition table, 0 when unknown. */
IXO_API int getPlatformType(void);

IXO_END_DECLS

#endif
