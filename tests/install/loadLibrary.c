// The smallest host of the installed library, in C: the agent services come
// from the build's host library, linked whole. It hands every device command
// line to a runner that runs none of them and runs one "executeOnDevice"
// through the library's command table.
//
// usage: loadLibrary DEVICE_ROOT
// Prints the library it loaded, the line the runner got and the response;
// exit status 0 when the handler passed the line on and reported its status.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <ixo/ixo.h>

static char firstLine[4096];

static int refuseLine(const char *commandLine) {
    if (firstLine[0] == '\0') {
        snprintf(firstLine, sizeof firstLine, "%s", commandLine);
    }
    return 3 << 8;
}

int main(int argc, char **argv) {
    static IxoXmlNode location = {"executeLocation", "", NULL, NULL, 0};
    static IxoXmlNode writable = {"needWritableFilesystem", "false", &location, NULL, 0};
    static IxoXmlNode errors = {"sendStderr", "false", &writable, NULL, 0};
    static IxoXmlNode output = {"sendStdout", "false", &errors, NULL, 0};
    static IxoXmlNode line = {"deviceCommand", "echo staged", &output, NULL, 0};
    static IxoXmlNode parameters = {"parameters", NULL, NULL, &line, 0};
    IxoCommand command = {&parameters, NULL, "executeOnDevice", "loadLibrary.c", 0};
    PlatformCommandHandler *handler;
    IxoCharBuffer *response = NULL;
    char *errorClass = NULL;
    char *message = NULL;
    char *text;
    Dl_info where;
    int result = -1;

    if (argc != 2 || dladdr((void *)getPlatformCommandHandlers, &where) == 0) {
        return 2;
    }
    printf("library: %s\n", where.dli_fname);
    ixoSetDeviceRoot(argv[1]);
    ixoSetCommandRunner(refuseLine);
    for (handler = getPlatformCommandHandlers(); handler->name != NULL && handler->handler != NULL;
         ++handler) {
        if (strcmp(handler->name, "executeOnDevice") == 0) {
            result = handler->handler(&command, &response, &errorClass, &message);
            break;
        }
    }
    text = charBufferToChar(response);
    printf("line: %s\nresult: %d\nresponse: %s\n", firstLine, result, text != NULL ? text : "");
    result = result != 0 || strstr(firstLine, "echo staged") == NULL || text == NULL ||
             strstr(text, "<commandExitCode>") == NULL;
    free(text);
    free(errorClass);
    free(message);
    freeAllCharBuffers(response);
    return result;
}
