// Reading XML documents safely with libxml2.
#include "agent/xmlDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>

namespace agent::detail {

namespace {

struct ContextDeleter {
    void operator()(xmlParserCtxt *context) const { xmlFreeParserCtxt(context); }
};

struct ParseProblem {
    bool found = false;
    int line = 0;
    std::string reason;
};

void noteProblem(xmlParserCtxt *context, int line, const std::string &reason) {
    auto *problem = static_cast<ParseProblem *>(context->_private);
    if (problem == nullptr || problem->found) {
        return;
    }
    problem->found = true;
    problem->line = line;
    problem->reason = reason;
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
    noteProblem(context, context->input != nullptr ? context->input->line : 0,
                "document type declarations are not allowed");
    xmlStopParser(context);
}

}  // namespace

XmlDocumentPtr readXmlDocument(const std::string &xml, const std::string &name, int *line,
                               std::string *reason) {
    *line = 0;
    if (xml.size() > static_cast<size_t>(INT_MAX)) {
        *reason = "the document is too large";
        return nullptr;
    }
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context || context->sax == nullptr) {
        *reason = "cannot create an XML parser";
        return nullptr;
    }
    ParseProblem problem;
    context->_private = &problem;
    context->sax->serror = recordError;
    context->sax->internalSubset = refuseDocumentType;
    // HUGE lifts the 10 MB text limit for large MIME bodies; the expansion
    // attacks it would otherwise guard against need a DTD, which is refused.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES |
                  XML_PARSE_HUGE;
    XmlDocumentPtr document(xmlCtxtReadMemory(
        context.get(), xml.data(), static_cast<int>(xml.size()), name.c_str(), nullptr, options));
    if (problem.found) {
        *line = problem.line;
        *reason = problem.reason;
        return nullptr;
    }
    if (!document || !context->wellFormed) {
        *line = context->input != nullptr ? context->input->line : 0;
        *reason = "malformed XML";
        return nullptr;
    }
    return document;
}

}  // namespace agent::detail
