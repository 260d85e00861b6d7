// Turning the elements of a command file into the command record: the
// shared checks, and the converters for the parameter tree and MIME parts.
#pragma once

#include <libxml/tree.h>

#include <string>

#include "host/command/commandRecord.h"

namespace agent::detail {

// Where the document came from, and where to put the first error as
// "NAME:LINE: reason".
struct Source {
    std::string name;
    std::string *error;
};

// Stores the error and returns false.
bool fail(const Source &source, int line, const std::string &reason);
bool outOfMemory(const Source &source, xmlNode *element);

int lineOf(xmlNode *node);
// The line of a text node's first visible character.
int textLineOf(xmlNode *text);
std::string nameOf(xmlNode *node);
bool isBlank(const xmlChar *text);
bool isText(xmlNode *node);
// Comments and processing instructions carry nothing for the command.
bool isIgnored(xmlNode *node);
bool hasElementChildren(xmlNode *element);
// The element's text and CDATA, as written; false for anything else in it.
bool leafText(const Source &source, xmlNode *element, std::string *text);
// No namespace, and no attribute but the allowed one (none when null).
bool checkElement(const Source &source, xmlNode *element, const char *allowedAttribute);
std::string attributeValue(xmlNode *element, const char *name, bool *present);

// The <parameters> element as the record's parameter node.
NodePtr convertParameters(const Source &source, xmlNode *element);
MimePartPtr convertMimePart(const Source &source, xmlNode *element);

}  // namespace agent::detail
