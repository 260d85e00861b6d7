// The parameter tree of a command file.
#include "host/command/commandXml.h"

namespace agent::detail {

namespace {

// A parameter element becomes a node. A leaf keeps its text exactly as
// written ("" when empty); an element holding elements has no text. The
// <parameters> container itself never has text. The reader stopped at
// kMaxCommandDepth, which bounds the recursion.
NodePtr convertElement(const Source &source, xmlNode *element, bool container) {
    if (!checkElement(source, element, nullptr)) {
        return nullptr;
    }
    NodePtr node = newNode(nameOf(element), lineOf(element));
    if (!node) {
        outOfMemory(source, element);
        return nullptr;
    }
    if (!container && !hasElementChildren(element)) {
        std::string text;
        if (!leafText(source, element, &text)) {
            return nullptr;
        }
        node->text = copyText(text);
        if (node->text == nullptr) {
            outOfMemory(source, element);
            return nullptr;
        }
        return node;
    }
    IxoXmlNode **tail = &node->children;
    for (xmlNode *child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            NodePtr converted = convertElement(source, child, false);
            if (!converted) {
                return nullptr;
            }
            *tail = converted.release();
            tail = &(*tail)->next;
        } else if (isText(child) && isBlank(child->content)) {
            continue;
        } else if (isText(child)) {
            fail(source, textLineOf(child),
                 "text mixed with elements in <" + nameOf(element) + ">");
            return nullptr;
        } else if (!isIgnored(child)) {
            fail(source, lineOf(child), "unexpected content in <" + nameOf(element) + ">");
            return nullptr;
        }
    }
    return node;
}

}  // namespace

NodePtr convertParameters(const Source &source, xmlNode *element) {
    return convertElement(source, element, true);
}

}  // namespace agent::detail
