// Reading an XML document with libxml2 without reaching outside it: no
// network, no external entities, no document type declaration at all, no
// nesting beyond what the reader allows, and nothing printed on standard
// error.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>

namespace agent::detail {

struct XmlDocumentDeleter {
    void operator()(xmlDoc *document) const { xmlFreeDoc(document); }
};
using XmlDocumentPtr = std::unique_ptr<xmlDoc, XmlDocumentDeleter>;

// Null when the document is not well-formed, declares a document type or
// nests elements more than maxDepth deep (the root element is depth 1); then
// line and reason describe the first problem (later ones are mostly its
// consequences). name stands for the file in libxml2's own messages.
XmlDocumentPtr readXmlDocument(const std::string &xml, const std::string &name, int maxDepth,
                               int *line, std::string *reason);

}  // namespace agent::detail
