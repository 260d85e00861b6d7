// Checks and small readers shared by the command-file converters.
#include <cstring>
#include <memory>

#include "host/command/commandXml.h"

namespace agent::detail {

namespace {

struct XmlTextDeleter {
    void operator()(xmlChar *text) const { xmlFree(text); }
};

}  // namespace

bool fail(const Source &source, int line, const std::string &reason) {
    if (source.error != nullptr) {
        *source.error = source.name + ":" + std::to_string(line) + ": " + reason;
    }
    return false;
}

int lineOf(xmlNode *node) { return static_cast<int>(xmlGetLineNo(node)); }

// libxml2 gives a text node the line where the text ends; a reader wants the
// line where its first visible character is.
int textLineOf(xmlNode *text) {
    int line = lineOf(text);
    bool visible = false;
    for (const xmlChar *c = text->content; c != nullptr && *c != '\0'; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') {
            visible = true;
        }
        if (*c == '\n' && visible) {
            --line;
        }
    }
    return line;
}

std::string nameOf(xmlNode *node) { return reinterpret_cast<const char *>(node->name); }

bool isBlank(const xmlChar *text) {
    for (; text != nullptr && *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') {
            return false;
        }
    }
    return true;
}

bool isText(xmlNode *node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

bool isIgnored(xmlNode *node) {
    return node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE;
}

bool hasElementChildren(xmlNode *element) {
    for (xmlNode *child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            return true;
        }
    }
    return false;
}

bool leafText(const Source &source, xmlNode *element, std::string *text) {
    for (xmlNode *child = element->children; child != nullptr; child = child->next) {
        if (isText(child)) {
            *text += reinterpret_cast<const char *>(child->content);
        } else if (!isIgnored(child)) {
            return fail(source, lineOf(child), "unexpected content in <" + nameOf(element) + ">");
        }
    }
    return true;
}

// Element names are plain; the record has no place for namespaces or
// attributes other than the ones the format names.
bool checkElement(const Source &source, xmlNode *element, const char *allowedAttribute) {
    if (element->ns != nullptr) {
        return fail(source, lineOf(element),
                    "namespaces are not supported (<" + nameOf(element) + ">)");
    }
    for (xmlAttr *attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
        const char *name = reinterpret_cast<const char *>(attribute->name);
        if (allowedAttribute == nullptr || attribute->ns != nullptr ||
            std::strcmp(name, allowedAttribute) != 0) {
            return fail(
                source, lineOf(element),
                std::string("unexpected attribute '") + name + "' on <" + nameOf(element) + ">");
        }
    }
    return true;
}

std::string attributeValue(xmlNode *element, const char *name, bool *present) {
    std::unique_ptr<xmlChar, XmlTextDeleter> value(
        xmlGetNoNsProp(element, reinterpret_cast<const xmlChar *>(name)));
    *present = value != nullptr;
    return value ? reinterpret_cast<const char *>(value.get()) : "";
}

bool outOfMemory(const Source &source, xmlNode *element) {
    return fail(source, lineOf(element), "out of memory");
}

}  // namespace agent::detail
