/* A minimal host for the installed libIxoPlatformOs, in plain C: it defines
   every agent service the library binds at load time (most of them as
   refusals), points the library at a device root of its own, refuses every
   device command line, and runs one "deleteFile" command through the
   library's command table.

   usage: loadLibrary DEVICE_ROOT
   Prints the path of the library it loaded; exit status 0 when the file was
   deleted and the handler reported success. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ixo/ixo.h>

/* ---- logger --------------------------------------------------------------- */

void ixoLogger(const char *module, const char *function, int line, int level, const char *format, ...) {
    va_list arguments;
    fprintf(stderr, "[%d] %s %s:%d ", level, module != NULL ? module : "-",
            function != NULL ? function : "-", line);
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fputc('\n', stderr);
}

/* ---- command record: one parameter node with a static list of children ---- */

static IxoXmlNode fileNode = {"file", NULL, NULL, NULL, 0};
static IxoXmlNode parametersNode = {"parameters", NULL, NULL, &fileNode, 0};

IxoXmlNode *getSubNodeByName(IxoXmlNode *node, const char *name) {
    IxoXmlNode *child;
    if (node == NULL || name == NULL) {
        return NULL;
    }
    for (child = node->children; child != NULL; child = child->next) {
        if (child->name != NULL && strcmp(child->name, name) == 0) {
            return child;
        }
    }
    return NULL;
}

char *getSubNodeContentByName(IxoXmlNode *node, const char *name) {
    IxoXmlNode *child = getSubNodeByName(node, name);
    return child != NULL ? child->text : NULL;
}

/* ---- char buffers ------------------------------------------------------------ */

struct IxoCharBuffer {
    char *bytes;
    int length;
};

IxoCharBuffer *createCharBuffer(void) { return calloc(1, sizeof(IxoCharBuffer)); }

IxoCharBuffer *getCharBufferFromCommandStruct(IxoCommand *command) {
    (void)command;
    return createCharBuffer();
}

int addDataToCharBuffer(IxoCharBuffer *buffer, const char *bytes, int length) {
    char *grown;
    if (buffer == NULL || bytes == NULL || length < 0) {
        return -1;
    }
    grown = realloc(buffer->bytes, (size_t)buffer->length + (size_t)length + 1);
    if (grown == NULL) {
        return -1;
    }
    memcpy(grown + buffer->length, bytes, (size_t)length);
    buffer->length += length;
    grown[buffer->length] = '\0';
    buffer->bytes = grown;
    return 0;
}

static int addText(IxoCharBuffer *buffer, const char *text) {
    return addDataToCharBuffer(buffer, text, (int)strlen(text));
}

int addOpeningTag(IxoCharBuffer *buffer, const char *name) {
    return addText(buffer, "<") == 0 && addText(buffer, name) == 0 && addText(buffer, ">") == 0 ? 0 : -1;
}

int addClosingTag(IxoCharBuffer *buffer, const char *name) {
    return addText(buffer, "</") == 0 && addText(buffer, name) == 0 && addText(buffer, ">") == 0 ? 0 : -1;
}

int addIntegerElement(IxoCharBuffer *buffer, const char *name, int value) {
    char digits[16];
    snprintf(digits, sizeof digits, "%d", value);
    return addOpeningTag(buffer, name) == 0 && addText(buffer, digits) == 0 &&
                   addClosingTag(buffer, name) == 0
               ? 0
               : -1;
}

int addCharBufferElement(IxoCharBuffer *buffer, const char *name, IxoCharBuffer *content) {
    if (content == NULL) {
        return -1;
    }
    return addOpeningTag(buffer, name) == 0 &&
                   addDataToCharBuffer(buffer, content->bytes != NULL ? content->bytes : "",
                                       content->length) == 0 &&
                   addClosingTag(buffer, name) == 0
               ? 0
               : -1;
}

char *charBufferToChar(IxoCharBuffer *buffer) {
    return buffer != NULL ? strdup(buffer->bytes != NULL ? buffer->bytes : "") : NULL;
}

int getTotalBufferLength(IxoCharBuffer *buffer) { return buffer != NULL ? buffer->length : 0; }

int getDataFromCharBuffer(IxoCharBuffer *buffer, char *destination, int maximum, int offset) {
    int count;
    if (buffer == NULL || destination == NULL || maximum <= 0 || offset < 0 || offset > buffer->length) {
        return 0;
    }
    count = buffer->length - offset < maximum ? buffer->length - offset : maximum;
    memcpy(destination, buffer->bytes + offset, (size_t)count);
    return count;
}

void freeAllCharBuffers(IxoCharBuffer *buffer) {
    if (buffer != NULL) {
        free(buffer->bytes);
        free(buffer);
    }
}

void removeNewLines(char *text) {
    char *to = text;
    if (text == NULL) {
        return;
    }
    for (; *text != '\0'; ++text) {
        if (*text != '\n' && *text != '\r') {
            *to++ = *text;
        }
    }
    *to = '\0';
}

char *httpPayloadGetHeader(const char *headerBlock, const char *name) {
    (void)headerBlock;
    (void)name;
    return NULL;
}

/* ---- deletion, under this program's device root ----------------------------- */

static char *deviceFile(const char *path) {
    const char *root = ixoGetDeviceRoot();
    size_t size;
    char *host;
    if (root == NULL || path == NULL || path[0] != '/') {
        return NULL;
    }
    size = strlen(root) + strlen(path) + 1;
    host = malloc(size);
    if (host != NULL) {
        snprintf(host, size, "%s%s", root, path);
    }
    return host;
}

static char *deletion(const char *path, char **message, int (*remove)(const char *)) {
    char *host = deviceFile(path);
    int failed = host == NULL || remove(host) != 0;
    if (failed && message != NULL) {
        *message = strdup(host == NULL ? "not a device path" : strerror(errno));
    }
    free(host);
    return failed ? strdup("file_error") : NULL;
}

char *pDeleteFile(const char *path, char **message) { return deletion(path, message, unlink); }
char *pDeleteDirectory(const char *path, char **message) { return deletion(path, message, rmdir); }

/* ---- everything else the library may ask for: refused or empty -------------- */

void pSleep(int seconds) { (void)seconds; }

void getUserCredentials(char **user, char **password) {
    if (user != NULL) {
        *user = NULL;
    }
    if (password != NULL) {
        *password = NULL;
    }
}

int poweroff2MBBios = 0;

int reg_open(const char *fileName) {
    (void)fileName;
    return 0;
}
int reg_get(int handle, char *value, const char *section, const char *key, const char *defaultValue) {
    (void)handle, (void)section, (void)key, (void)defaultValue;
    if (value != NULL) {
        value[0] = '\0';
    }
    return 1;
}
int reg_set(int handle, const char *section, const char *key, const char *value) {
    (void)handle, (void)section, (void)key, (void)value;
    return -1;
}
int reg_del(int handle, const char *name) {
    (void)handle, (void)name;
    return -1;
}
int reg_close(int handle) {
    (void)handle;
    return -1;
}
int reg_close_action(int handle) { return reg_close(handle); }
int reg_close_no_action(int handle) { return reg_close(handle); }

NetworkInterface *addNetworkInterface(PlatformData *data) {
    (void)data;
    return NULL;
}
DnsServerEntry *addDnsServer(NetworkInterface *net) {
    (void)net;
    return NULL;
}
DnsSuffixEntry *addDnsSuffix(NetworkInterface *net) {
    (void)net;
    return NULL;
}
WinsServerEntry *addWinsServer(NetworkInterface *net) {
    (void)net;
    return NULL;
}
WriteableMediaEntry *addWriteableMedia(PlatformData *data) {
    (void)data;
    return NULL;
}
PlatformData *parseConfigurationCommand(IxoCommand *command) {
    (void)command;
    return NULL;
}
int freePlatformData(PlatformData *data) { return data == NULL ? 0 : -1; }

int ReadDmiString(const char *keyword, char *buffer, int size) {
    (void)keyword;
    if (buffer != NULL && size > 0) {
        buffer[0] = '\0';
    }
    return -1;
}
int useSmbiosFlagEnabled(void) { return 0; }
unsigned int convertSecurityKey(const char *text) {
    (void)text;
    return 0;
}

/* ---- the run ------------------------------------------------------------------ */

static int refusedLines = 0;

/* Nothing runs on this machine: every device command line is refused. */
static int refuseCommand(const char *commandLine) {
    fprintf(stderr, "refused: %s\n", commandLine);
    ++refusedLines;
    return 1 << 8;
}

static int writeFile(const char *path, const char *text) {
    FILE *file = fopen(path, "w");
    int written;
    if (file == NULL) {
        fprintf(stderr, "cannot create %s: %s\n", path, strerror(errno));
        return -1;
    }
    written = fputs(text, file) >= 0;
    return fclose(file) == 0 && written ? 0 : -1;
}

int main(int argc, char **argv) {
    static AgentFunctionTable functions;
    static char victimPath[] = "/var/old-agent.log";
    IxoCommand command = {&parametersNode, NULL, "deleteFile", "loadLibrary.c", 0};
    PlatformCommandHandler *table;
    Dl_info where;
    char path[4096];
    char *errorClass = NULL;
    char *message = NULL;
    IxoCharBuffer *response = NULL;
    struct stat info;
    int result = -1;

    if (argc != 2 || argv[1][0] != '/') {
        fprintf(stderr, "usage: loadLibrary DEVICE_ROOT (absolute)\n");
        return 2;
    }
    fileNode.text = victimPath;
    ixoSetCommandRunner(refuseCommand);
    ixoSetDeviceRoot(argv[1]);

    /* The root file system is write-filtered, so the handler asks to lift
       the filter: that line must reach the runner, and only the runner. */
    snprintf(path, sizeof path, "%s/proc", argv[1]);
    if (mkdir(path, 0755) != 0 && errno != EEXIST) {
        return 3;
    }
    snprintf(path, sizeof path, "%s/var", argv[1]);
    if (mkdir(path, 0755) != 0 && errno != EEXIST) {
        return 3;
    }
    snprintf(path, sizeof path, "%s/proc/mounts", argv[1]);
    if (writeFile(path, "rootfs / rootfs rw 0 0\n/dev/hda1 / ext2 ro,noatime 0 0\n") != 0) {
        return 3;
    }
    snprintf(path, sizeof path, "%s%s", argv[1], victimPath);
    if (writeFile(path, "old log\n") != 0) {
        return 3;
    }

    if (dladdr((void *)getPlatformCommandHandlers, &where) == 0 || where.dli_fname == NULL) {
        fprintf(stderr, "cannot tell where getPlatformCommandHandlers comes from\n");
        return 4;
    }
    printf("library: %s\n", where.dli_fname);

    initPlatformSpecificCommands(&functions);
    for (table = getPlatformCommandHandlers(); table != NULL && table->name != NULL && table->handler != NULL;
         ++table) {
        if (strcmp(table->name, "deleteFile") == 0) {
            result = table->handler(&command, &response, &errorClass, &message);
            break;
        }
    }
    if (table == NULL || table->name == NULL || table->handler == NULL) {
        fprintf(stderr, "no deleteFile in the command table\n");
        return 5;
    }
    printf("result: %d\nerrorClass: %s\nmessage: %s\nrefused lines: %d\n", result,
           errorClass != NULL ? errorClass : "(none)", message != NULL ? message : "(none)", refusedLines);
    free(errorClass);
    free(message);
    freeAllCharBuffers(response);

    if (stat(path, &info) == 0 || errno != ENOENT) {
        fprintf(stderr, "%s is still there\n", path);
        return 1;
    }
    if (refusedLines == 0) {
        fprintf(stderr, "the write filter was not asked to lift: the runner was bypassed\n");
        return 1;
    }
    return result == 0 ? 0 : 1;
}
