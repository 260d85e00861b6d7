// What every EEPROM write of ixoAgent (set-key, set-serial, set-cmos,
// restore) shares: --dry-run and --yes, the refusal of an unconfirmed write
// to this machine's EEPROM, the listing of the words a write changes, and
// the comparison of what the EEPROM holds afterwards with what was written.
#pragma once

#include <string>

#include "agent/eepromLayer.h"

namespace CLI {
class App;
}

namespace agent {

struct WriteSafety {
    bool dryRun = false;
    bool yes = false;
};

// Adds --dry-run and --yes to a command that writes the EEPROM.
void addWriteSafetyOptions(CLI::App &command, WriteSafety &safety);

// Throws the command-line error that refuses a write to this machine's
// EEPROM (--real-device) without --yes; a dry run needs none. Run as the
// command line is parsed, so nothing has been touched.
void requireConfirmation(const CLI::App &root, const WriteSafety &safety);

// The words (bytes) that writing `to` over `from` changes, "address: old ->
// new", and the checksums `to` holds. Nothing is written.
void printDryRun(const IxoEepromFamily &family, const unsigned char *from,
                 const unsigned char *to);

// Saves the image read before a write, with its info file, and prints
// where; "" (with the reason on standard error) when it cannot be saved.
std::string takeBackup(const std::string &deviceRoot, const Controller &controller,
                       const unsigned char *image);

// After a write (`written`: whether the layer said it completed), says so
// when it did not, then reads the whole image back into readBack (the
// EEPROM's size). False, with the failure reported, when it cannot be read:
// the command then has nothing to verify.
bool readBackAfterWrite(const EepromLayer &layer, bool written, unsigned char *readBack);

// Compares what the EEPROM holds after a write (readBack) with the image
// written, within what reaches the device; prints each word that differs
// and a summary line. True when they are the same.
bool verifyWrite(const IxoEepromFamily &family, const unsigned char *written,
                 const unsigned char *readBack);

}  // namespace agent
