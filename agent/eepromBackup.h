// Backups of the EEPROM image taken before every write: the raw image, as
// other tools read it, and beside it BACKUP.info, "key=value" lines that say
// which controller family it came from (which a restore checks), the
// controller's name and I/O base, and when it was taken.
#pragma once

#include <string>

namespace agent {

struct BackupInfo {
    std::string family;      // "rhine", "velocity", "realtek", "jmicron"
    std::string controller;  // "ViaRhine (VIA Technologies)"
    std::string ioBase;      // "0xe400"
    std::string time;        // "2026-12-06T17:52:23+0100"
};

// Where backups go: the simulated device's /var/lib/ixo, else (on the device
// itself, whose root file system is write-filtered) the current directory.
// "" with the reason when it cannot be had.
std::string backupDirectory(const std::string &deviceRoot, std::string *error);

// Saves the image and its info file under names no earlier backup has and
// puts the time in info; the image's path, or "" with the reason (nothing
// is left behind then).
std::string saveBackup(const std::string &directory, const unsigned char *image, int size,
                       BackupInfo *info, std::string *error);

std::string backupInfoPath(const std::string &backup);
// The info file beside a backup. False with the reason when it is there but
// cannot be used; *present is false when there is none (an older backup).
bool readBackupInfo(const std::string &backup, bool *present, BackupInfo *info,
                    std::string *error);

}  // namespace agent
