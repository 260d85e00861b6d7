// The helpers of "downloadFileFromServer": which way a source is fetched, and
// writing a MIME part that came with the command into a file.
#pragma once

#include "ixo/agent.h"

namespace commands {

// 0 when the source begins with "http://" or "https://" (exactly, in lower
// case): the agent fetches it. 1 otherwise: it names a MIME part.
int isMimeSource(const char *source);

// Writes the body of the first part whose "Content-Location" equals
// contentLocation into the device path, in chunks of 1024 bytes, replacing
// the file there only once the whole body is on disk (device::ReplacementFile).
// 0 when written; -1 when an argument is null, no part matches or the file
// cannot be written, and then the old file is as it was.
int writeMimeToFile(IxoMimePart *parts, const char *contentLocation, const char *path);

}  // namespace commands
