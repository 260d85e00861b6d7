// Reading XML documents safely with libxml2.
#include "host/xml/xmlDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <string>

namespace agent::detail {

namespace {

struct ContextDeleter {
    void operator()(xmlParserCtxt *context) const { xmlFreeParserCtxt(context); }
};

struct ParseState {
    // The first problem found.
    bool found = false;
    int line = 0;
    std::string reason;
    // Elements open at the parser's position, and how many may be.
    int depth = 0;
    int maxDepth = 0;
    // libxml2's own tree builders, which the depth watch hands on to.
    startElementNsSAX2Func startElement = nullptr;
    endElementNsSAX2Func endElement = nullptr;
};

ParseState *stateOf(xmlParserCtxt *context) { return static_cast<ParseState *>(context->_private); }

int currentLine(xmlParserCtxt *context) {
    return context->input != nullptr ? context->input->line : 0;
}

void noteProblem(xmlParserCtxt *context, int line, const std::string &reason) {
    ParseState *state = stateOf(context);
    if (state == nullptr || state->found) {
        return;
    }
    state->found = true;
    state->line = line;
    state->reason = reason;
}

// Replaces libxml2's printing to standard error.
void recordError(void *userData, xmlErrorPtr error) {
    if (error == nullptr || error->level < XML_ERR_ERROR) {
        return;
    }
    std::string reason = error->message != nullptr ? error->message : "malformed XML";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
        reason.pop_back();
    }
    for (char &c : reason) {
        if (c == '\n') {
            c = ' ';
        }
    }
    noteProblem(static_cast<xmlParserCtxt *>(userData), error->line, reason);
}

// Called at "<!DOCTYPE", before any declaration in it is read: entity
// declarations are how documents reach for local files or blow up in memory.
void refuseDocumentType(void *userData, const xmlChar *, const xmlChar *, const xmlChar *) {
    auto *context = static_cast<xmlParserCtxt *>(userData);
    noteProblem(context, currentLine(context), "document type declarations are not allowed");
    xmlStopParser(context);
}

// libxml2 without its depth limit (lifted with the text limit, see below)
// builds a tree as deep as the document, and everything that walks it after
// would run out of stack: the parse stops at the first element too deep, so
// the tree never exceeds the limit.
void startElementWithinDepth(void *userData, const xmlChar *localName, const xmlChar *prefix,
                             const xmlChar *uri, int namespaceCount, const xmlChar **namespaces,
                             int attributeCount, int defaultedCount, const xmlChar **attributes) {
    auto *context = static_cast<xmlParserCtxt *>(userData);
    ParseState *state = stateOf(context);
    if (++state->depth > state->maxDepth) {
        noteProblem(context, currentLine(context),
                    "elements nested more than " + std::to_string(state->maxDepth) + " deep");
        xmlStopParser(context);
        return;
    }
    state->startElement(userData, localName, prefix, uri, namespaceCount, namespaces,
                        attributeCount, defaultedCount, attributes);
}

void endElementWithinDepth(void *userData, const xmlChar *localName, const xmlChar *prefix,
                           const xmlChar *uri) {
    ParseState *state = stateOf(static_cast<xmlParserCtxt *>(userData));
    --state->depth;
    state->endElement(userData, localName, prefix, uri);
}

}  // namespace

XmlDocumentPtr readXmlDocument(const std::string &xml, const std::string &name, int maxDepth,
                               int *line, std::string *reason) {
    *line = 0;
    if (xml.size() > static_cast<size_t>(INT_MAX)) {
        *reason = "the document is too large";
        return nullptr;
    }
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context || context->sax == nullptr || context->sax->startElementNs == nullptr ||
        context->sax->endElementNs == nullptr) {
        *reason = "cannot create an XML parser";
        return nullptr;
    }
    ParseState state;
    state.maxDepth = maxDepth;
    state.startElement = context->sax->startElementNs;
    state.endElement = context->sax->endElementNs;
    context->_private = &state;
    context->sax->serror = recordError;
    context->sax->internalSubset = refuseDocumentType;
    context->sax->startElementNs = startElementWithinDepth;
    context->sax->endElementNs = endElementWithinDepth;
    // HUGE lifts the 10 MB text limit for large MIME bodies; the expansion
    // attacks it would otherwise guard against need a DTD, which is refused.
    // It lifts the depth limit too, which the element watch above replaces.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES |
                  XML_PARSE_HUGE;
    XmlDocumentPtr document(xmlCtxtReadMemory(
        context.get(), xml.data(), static_cast<int>(xml.size()), name.c_str(), nullptr, options));
    if (state.found) {
        *line = state.line;
        *reason = state.reason;
        return nullptr;
    }
    if (!document || !context->wellFormed) {
        *line = currentLine(context.get());
        *reason = "malformed XML";
        return nullptr;
    }
    return document;
}

}  // namespace agent::detail
