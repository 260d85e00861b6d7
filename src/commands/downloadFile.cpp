// "downloadFileFromServer": puts a file onto the device, either from a MIME
// part that came with the command or fetched by the agent from an http:// or
// https:// URL with the agent's download credentials.
#define IXO_MODULE "PlatformCommands"

#include "commands/downloadFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "device/replacementFile.h"
#include "log.h"
#include "urlPasswords.h"

namespace {

constexpr int kChunkSize = 1024;
// Chunks are gathered and written 64 at a time: one system call per 1 KiB
// would make the copy several times slower.
constexpr int kChunksPerWrite = 64;
// Of bytes that could not be written, the log shows this many.
constexpr int kShownBytes = 48;

// The bytes are raw, not text: the log gets their beginning with the
// unprintable ones escaped, and their number.
std::string renderBytes(const char *bytes, int length) {
    std::string text;
    int shown = length < kShownBytes ? length : kShownBytes;
    for (int index = 0; index < shown; ++index) {
        unsigned char byte = static_cast<unsigned char>(bytes[index]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\' && byte != '\'') {
            text += static_cast<char>(byte);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
    }
    if (shown < length) {
        text += "...";
    }
    return text + " (" + std::to_string(length) + " bytes)";
}

// Writes the gathered chunks; false, with the reasons logged, when the file
// took fewer bytes than it was given.
bool flush(device::ReplacementFile *file, const char *bytes, int length, const char *path) {
    std::string error;
    int written = static_cast<int>(file->write(bytes, static_cast<size_t>(length), &error));
    if (written < length) {
        std::string unwritten = renderBytes(bytes + written, length - written);
        IXO_LOG(IXO_ERROR, "Error writing '%s'", unwritten.c_str());
        IXO_LOG(IXO_ERROR, "Error writing data to '%s'", path);
        IXO_LOG(IXO_ERROR, "Tried to write '%d' bytes, actually wrote '%d' bytes", length, written);
        IXO_LOG(IXO_ERROR, "Write error: %s", error.c_str());
        return false;
    }
    return true;
}

// The part whose Content-Location is exactly the text, or null.
IxoMimePart *findPart(IxoMimePart *parts, const char *contentLocation) {
    for (IxoMimePart *part = parts; part != nullptr; part = part->next) {
        char *value = httpPayloadGetHeader(part->headers, "Content-Location");
        bool equal = value != nullptr && std::strcmp(value, contentLocation) == 0;
        std::free(value);
        if (equal) {
            return part;
        }
    }
    return nullptr;
}

std::string noPartText(const char *contentLocation) {
    return std::string("No part of the command has Content-Location '") + contentLocation + "'";
}

// Fetches the body in chunks of 1024 bytes, in order, and writes them.
int copyBody(IxoCharBuffer *body, device::ReplacementFile *file, const char *path) {
    const int capacity = kChunkSize * kChunksPerWrite;
    std::unique_ptr<char[]> pending(new (std::nothrow) char[capacity]);
    if (!pending) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
        return -1;
    }
    int used = 0;
    int total = getTotalBufferLength(body);
    int offset = 0;
    while (offset < total) {
        if (used + kChunkSize > capacity) {
            if (!flush(file, pending.get(), used, path)) {
                return -1;
            }
            used = 0;
        }
        int fetched = getDataFromCharBuffer(body, pending.get() + used, kChunkSize, offset);
        if (fetched < 0 || fetched > kChunkSize) {
            // Going on would copy from a lower offset or past the chunk.
            IXO_LOG(IXO_ERROR, "Error reading the MIME body for '%s' at offset '%d'", path, offset);
            return -1;
        }
        if (fetched == 0) {
            IXO_LOG(IXO_ERROR, "Shouldn't really get here, totalNumberWritten '%d'", offset);
            break;
        }
        used += fetched;
        offset += fetched;
    }
    return used == 0 || flush(file, pending.get(), used, path) ? 0 : -1;
}

int fromMimePart(IxoCommand *command, const char *source, const char *destination,
                 char **errorClass, char **message) {
    IXO_LOG(IXO_PROGRESS, "DownloadFileFromServer using MIME");
    if (command->mimeParts == nullptr) {
        IXO_LOG(IXO_ERROR, "No mimeParts found");
        commands::setFailure(errorClass, message, "invalid_arguments", "Invalid Arguments");
        return -1;
    }
    // The server asked for a file it did not send: writing nothing is no success.
    if (findPart(command->mimeParts, source) == nullptr) {
        std::string missing = noPartText(source);
        IXO_LOG(IXO_ERROR, "%s", ixo::hideUrlPasswords(missing).c_str());
        commands::setFailure(errorClass, message, "file_error", missing.c_str());
        return -1;
    }
    if (commands::writeMimeToFile(command->mimeParts, source, destination) < 0) {
        IXO_LOG(IXO_ERROR, "Error writing MIME contents to file '%s'", destination);
        commands::setFailure(errorClass, message, "file_error", nullptr);
        return -1;
    }
    return 0;
}

int fromUrl(const char *source, const char *destination, char **errorClass, char **message) {
    IXO_LOG(IXO_PROGRESS, "DownloadFileFromServer using http");
    char *user = nullptr;
    char *password = nullptr;
    getUserCredentials(&user, &password);
    // The password itself never goes to the log.
    IXO_LOG(IXO_NOTICE, "username '%s'", user != nullptr ? user : "");
    bool passwordSet = password != nullptr && password[0] != '\0';
    IXO_LOG(IXO_NOTICE, "password %s", passwordSet ? "set" : "not set");
    AgentFunctionTable *table = commands::agentFunctions();
    if (table == nullptr || table->downloadWithCredentials == nullptr) {
        IXO_LOG(IXO_ERROR, "The agent has handed over no download function");
        commands::setFailure(errorClass, message, "file_error", "File_error");
        return -1;
    }
    if (table->downloadWithCredentials(source, user, password, destination, 0) < 0) {
        commands::setFailure(errorClass, message, "file_error", "File_error");
        return -1;
    }
    return 0;
}

}  // namespace

namespace commands {

int isMimeSource(const char *source) {
    if (source != nullptr &&
        (std::strncmp(source, "http://", 7) == 0 || std::strncmp(source, "https://", 8) == 0)) {
        return 0;
    }
    return 1;
}

int writeMimeToFile(IxoMimePart *parts, const char *contentLocation, const char *path) {
    if (parts == nullptr || contentLocation == nullptr || path == nullptr) {
        IXO_LOG(IXO_ERROR, "NULL arguments in writeMimeToFile");
        return -1;
    }
    IxoMimePart *part = findPart(parts, contentLocation);
    if (part == nullptr) {
        IXO_LOG(IXO_ERROR, "%s", ixo::hideUrlPasswords(noPartText(contentLocation)).c_str());
        return -1;
    }
    device::ReplacementFile file;
    std::string error;
    if (!file.create(device::deviceEntryPath(path), path, &error)) {
        IXO_LOG(IXO_ERROR, "Error opening '%s' for writing", path);
        IXO_LOG(IXO_ERROR, "Open error: %s", error.c_str());
        return -1;
    }
    if (copyBody(part->body, &file, path) < 0) {
        return -1;
    }
    if (!file.commit(&error)) {
        // Data the disk could not take may show up only when it is synced.
        IXO_LOG(IXO_ERROR, "Error writing data to '%s'", path);
        IXO_LOG(IXO_ERROR, "Write error: %s", error.c_str());
        return -1;
    }
    return 0;
}

int downloadFileFromServer(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                           char **message) {
    clearOutputs(response, errorClass, message);
    const char *destination = parameter(command, "destination");
    const char *source = parameter(command, "source");
    if (destination == nullptr || source == nullptr) {
        setFailure(errorClass, message, "invalid_arguments", "Invalid Arguments");
        return -1;
    }
    LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    WriteFilterBracket filter(destination);
    if (isMimeSource(source)) {
        return fromMimePart(command, source, destination, errorClass, message);
    }
    return fromUrl(source, destination, errorClass, message);
}

}  // namespace commands
