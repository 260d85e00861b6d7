// "executeOnDevice": runs the shell command line the server sends, in the
// directory it names, with the write filter lifted if asked, and reports the
// exit status and the captured output.
#define IXO_MODULE "PlatformCommands"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "handles.h"
#include "ixo/guards.h"
#include "log.h"
#include "urlPasswords.h"

namespace {

void addCapturedOutput(IxoCharBuffer *result, const std::string &path, const char *element) {
    IxoCharBuffer *captured = commands::readFileToCharBuffer(path.c_str());
    if (captured == nullptr) {
        IXO_LOG(IXO_NOTICE, "could not read the captured output '%s'", path.c_str());
        return;
    }
    addCharBufferElement(result, element, captured);
    freeAllCharBuffers(captured);
}

}  // namespace

namespace commands {

IxoCharBuffer *readFileToCharBuffer(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    handles::File file(std::fopen(device::devicePath(path).c_str(), "rb"));
    if (!file) {
        return nullptr;
    }
    IxoCharBuffer *buffer = createCharBuffer();
    if (buffer == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
        return nullptr;
    }
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (addDataToCharBuffer(buffer, chunk, static_cast<int>(got)) != 0) {
            IXO_LOG(IXO_ERROR, "Error while memory allocation");
            freeAllCharBuffers(buffer);
            return nullptr;
        }
    }
    if (std::ferror(file.get())) {
        IXO_LOG(IXO_ERROR, "error reading '%s': %s", path, std::strerror(errno));
        freeAllCharBuffers(buffer);
        return nullptr;
    }
    return buffer;
}

int executeCommand(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                   char **message) {
    const char *deviceCommand = requiredParameter(command, "deviceCommand");
    const char *sendStdout = requiredParameter(command, "sendStdout");
    const char *sendStderr = requiredParameter(command, "sendStderr");
    const char *needWritable = requiredParameter(command, "needWritableFilesystem");
    const char *location = requiredParameter(command, "executeLocation");
    if (deviceCommand == nullptr || sendStdout == nullptr || sendStderr == nullptr ||
        needWritable == nullptr || location == nullptr) {
        setFailure(errorClass, message, "invalid_arguments", nullptr);
        return -1;
    }
    LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    bool captureOut = std::strcmp(sendStdout, "true") == 0;
    bool captureErr = std::strcmp(sendStderr, "true") == 0;
    bool liftFilter = std::strcmp(needWritable, "true") == 0;

    // The capture files are named after the agent's process: one command runs
    // at a time. Root's shell writes them: they are made afresh first, so
    // that nothing planted at those names receives the output.
    std::string pid = std::to_string(static_cast<long>(getpid()));
    std::string outFile = "/tmp/" + pid + ".stdout";
    std::string errFile = "/tmp/" + pid + ".stderr";
    std::string error;
    if ((captureOut && !device::createCaptureFile(outFile, &error)) ||
        (captureErr && !device::createCaptureFile(errFile, &error))) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
        ::unlink(device::deviceEntryPath(outFile).c_str());
        ::unlink(device::deviceEntryPath(errFile).c_str());
        setFailure(errorClass, message, "system_error", "Cannot create the output capture file");
        return -1;
    }
    if (liftFilter) {
        makeWritable("/");
    }
    // The server's command and location run as given: that is this command's
    // purpose. The line is never cut, whatever their length. A command meant
    // for its location must not run anywhere else: when the shell cannot
    // change there, it ends before any part of the command, with the cd's
    // complaint in the error capture and exit code 1.
    std::string prefix;
    if (location[0] != '\0') {
        prefix = std::string("cd ") + location + (captureErr ? " 2> " + errFile : "") +
                 " || exit 1;";
    }
    std::string line = prefix + " " + deviceCommand + " " + (captureOut ? "> " + outFile : "") +
                       " " + (captureErr ? "2> " + errFile : "");
    IXO_LOG(IXO_PROGRESS, "execute Command='%s'", ixo::hideUrlPasswords(line).c_str());
    int status = device::runDeviceCommand(line);

    IxoCharBuffer *result = createCharBuffer();
    if (result == nullptr) {
        IXO_LOG(IXO_ERROR, "Error while memory allocation");
    } else {
        addOpeningTag(result, "executeOnDeviceResult");
        addIntegerElement(result, "commandExitCode", status);
        if (captureOut) {
            addCapturedOutput(result, outFile, "stdOut");
        }
        if (captureErr) {
            addCapturedOutput(result, errFile, "stdErr");
        }
        addClosingTag(result, "executeOnDeviceResult");
    }
    if (response != nullptr) {
        *response = result;
    } else {
        freeAllCharBuffers(result);
    }
    device::runDeviceCommand("rm -f " + outFile + " " + errFile);
    if (liftFilter) {
        makeWriteProtected("/");
    }
    return 0;
}

}  // namespace commands
