/* The agent's services: functions and data that the executable loading the
   library defines and exports. The library resolves them by name at load time;
   the leading members of the records below and their order are fixed, so that
   any agent that keeps them can load the library. */
#ifndef IXO_AGENT_H
#define IXO_AGENT_H

#include "ixo/export.h"
#include "ixo/platform_data.h"

IXO_BEGIN_DECLS

typedef struct IxoCharBuffer IxoCharBuffer;          /* opaque: only the agent's functions touch it */

typedef struct IxoXmlNode {
    char *name;                                      /* element name */
    char *text;                                      /* element text; NULL when it has none */
    struct IxoXmlNode *next;                         /* next sibling, of any name */
    /* the agent's own members follow */
    struct IxoXmlNode *children;
    int line;                                        /* line in the command file */
} IxoXmlNode;

typedef struct IxoMimePart {
    char *headers;                                   /* the part's HTTP header block */
    IxoCharBuffer *body;
    struct IxoMimePart *next;
} IxoMimePart;

typedef struct IxoCommand {
    IxoXmlNode *parameters;                          /* the command's parameter node */
    IxoMimePart *mimeParts;                          /* NULL when none came with it */
    /* the agent's own members follow */
    char *name;
    char *sourceName;                                /* file the command came from */
    int line;                                        /* line of the command element */
} IxoCommand;

typedef void (*AgentFunction)(void);
typedef struct AgentFunctionTable {                  /* the agent's; the library calls entries 4 and 6 only */
    AgentFunction entry1, entry2, entry3;
    int (*downloadWithCredentials)(const char *url, const char *user, const char *password,
                                   const char *destination, int flags);
    AgentFunction entry5;
    int (*downloadToFile)(const char *url, const char *destination, int flags);
} AgentFunctionTable;

typedef int (*CommandHandlerFn)(IxoCommand *command, IxoCharBuffer **response,
                                char **errorClass, char **message);
typedef struct PlatformCommandHandler { const char *name; CommandHandlerFn handler; } PlatformCommandHandler;

/* agent services, defined by the executable that loads the library */
void ixoLogger(const char *module, const char *function, int line, int level, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;
char *getSubNodeContentByName(IxoXmlNode *node, const char *name);
IxoXmlNode *getSubNodeByName(IxoXmlNode *node, const char *name);
IxoCharBuffer *getCharBufferFromCommandStruct(IxoCommand *command);
IxoCharBuffer *createCharBuffer(void);
int addDataToCharBuffer(IxoCharBuffer *buffer, const char *bytes, int length);
int addOpeningTag(IxoCharBuffer *buffer, const char *name);
int addClosingTag(IxoCharBuffer *buffer, const char *name);
int addIntegerElement(IxoCharBuffer *buffer, const char *name, int value);
int addCharBufferElement(IxoCharBuffer *buffer, const char *name, IxoCharBuffer *content);
char *charBufferToChar(IxoCharBuffer *buffer);
int getTotalBufferLength(IxoCharBuffer *buffer);
int getDataFromCharBuffer(IxoCharBuffer *buffer, char *destination, int maximum, int offset);
void freeAllCharBuffers(IxoCharBuffer *buffer);
void removeNewLines(char *text);
char *httpPayloadGetHeader(const char *headerBlock, const char *name);
char *pDeleteFile(const char *path, char **message);
char *pDeleteDirectory(const char *path, char **message);
void pSleep(int seconds);
void getUserCredentials(char **user, char **password);
extern int poweroff2MBBios;
int reg_open(const char *fileName);                 /* 0: could not be opened */
int reg_get(int handle, char *value, const char *section, const char *key, const char *defaultValue);
int reg_set(int handle, const char *section, const char *key, const char *value);
int reg_del(int handle, const char *name);
int reg_close(int handle);
int reg_close_action(int handle);
int reg_close_no_action(int handle);
NetworkInterface *addNetworkInterface(PlatformData *data);
DnsServerEntry *addDnsServer(NetworkInterface *net);
DnsSuffixEntry *addDnsSuffix(NetworkInterface *net);
WinsServerEntry *addWinsServer(NetworkInterface *net);
WriteableMediaEntry *addWriteableMedia(PlatformData *data);
PlatformData *parseConfigurationCommand(IxoCommand *command);
int freePlatformData(PlatformData *data);
int ReadDmiString(const char *keyword, char *buffer, int size);
int useSmbiosFlagEnabled(void);
unsigned int convertSecurityKey(const char *text);

IXO_END_DECLS

#endif
