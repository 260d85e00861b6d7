// Building and freeing command records. Every member is allocated with the
// C allocator, since the library reads the records as plain C data.
#pragma once

#include <memory>
#include <string>

#include "ixo/agent.h"

namespace agent::detail {

// How deep a command file may nest its elements, <command> being the first
// level. Real commands nest four or five; the limit keeps every walk over a
// record short, whoever wrote the file.
constexpr int kMaxCommandDepth = 64;

// Frees the node, its children and every sibling after it, at any depth.
void freeNodes(IxoXmlNode *node);
void freeMimeParts(IxoMimePart *part);

struct NodeDeleter {
    void operator()(IxoXmlNode *node) const { freeNodes(node); }
};
using NodePtr = std::unique_ptr<IxoXmlNode, NodeDeleter>;

struct MimePartDeleter {
    void operator()(IxoMimePart *part) const { freeMimeParts(part); }
};
using MimePartPtr = std::unique_ptr<IxoMimePart, MimePartDeleter>;

// A node with a copy of the name and no text; null when memory runs out.
NodePtr newNode(const std::string &name, int line);
// A malloc'd copy of the bytes with a NUL after them; null when memory runs out.
char *copyText(const std::string &text);

}  // namespace agent::detail
