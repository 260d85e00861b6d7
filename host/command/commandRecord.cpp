// Command records: allocation, lookup of parameters, release.
#include <cstdlib>
#include <cstring>

#include "host/command/commandRecord.h"
#include "host/host.h"

namespace agent::detail {

// Without recursion: a node's children are moved into the sibling chain
// ahead of the nodes after it before the node goes, so the work stays linear
// and the stack flat whatever the depth.
void freeNodes(IxoXmlNode *node) {
    while (node != nullptr) {
        if (node->children != nullptr) {
            IxoXmlNode *last = node->children;
            while (last->next != nullptr) {
                last = last->next;
            }
            last->next = node->next;
            node->next = node->children;
        }
        IxoXmlNode *next = node->next;
        std::free(node->name);
        std::free(node->text);
        std::free(node);
        node = next;
    }
}

void freeMimeParts(IxoMimePart *part) {
    while (part != nullptr) {
        IxoMimePart *next = part->next;
        std::free(part->headers);
        freeAllCharBuffers(part->body);
        std::free(part);
        part = next;
    }
}

char *copyText(const std::string &text) {
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
    }
    return copy;
}

NodePtr newNode(const std::string &name, int line) {
    NodePtr node(static_cast<IxoXmlNode *>(std::calloc(1, sizeof(IxoXmlNode))));
    if (node) {
        node->line = line;
        node->name = copyText(name);
        if (node->name == nullptr) {
            node.reset();
        }
    }
    return node;
}

}  // namespace agent::detail

namespace agent {

void CommandDeleter::operator()(IxoCommand *command) const {
    if (command == nullptr) {
        return;
    }
    detail::freeNodes(command->parameters);
    detail::freeMimeParts(command->mimeParts);
    std::free(command->name);
    std::free(command->sourceName);
    std::free(command);
}

}  // namespace agent

extern "C" IxoXmlNode *getSubNodeByName(IxoXmlNode *node, const char *name) {
    if (node == nullptr || name == nullptr) {
        return nullptr;
    }
    for (IxoXmlNode *child = node->children; child != nullptr; child = child->next) {
        if (child->name != nullptr && std::strcmp(child->name, name) == 0) {
            return child;
        }
    }
    return nullptr;
}

// An empty leaf element gives "", so that "present but empty" differs from
// absent; an element holding other elements has no text (null).
extern "C" char *getSubNodeContentByName(IxoXmlNode *node, const char *name) {
    IxoXmlNode *child = getSubNodeByName(node, name);
    return child != nullptr ? child->text : nullptr;
}
