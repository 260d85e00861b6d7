#include "agent/commandOutcome.h"

#include <libxml/tree.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "host/xml/xmlDocument.h"

namespace agent {

namespace {

// Result documents and the kept outcome are flat: the root and its fields.
const int kMaxDepth = 3;

struct XmlTextDeleter {
    void operator()(xmlChar *text) const { xmlFree(text); }
};

std::string contentOf(xmlNode *node) {
    std::unique_ptr<xmlChar, XmlTextDeleter> text(xmlNodeGetContent(node));
    return text ? reinterpret_cast<const char *>(text.get()) : "";
}

std::string nameOf(xmlNode *node) { return reinterpret_cast<const char *>(node->name); }

bool hasElementChildren(xmlNode *node) {
    for (xmlNode *child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            return true;
        }
    }
    return false;
}

xmlNode *rootOf(const detail::XmlDocumentPtr &document) {
    return document ? xmlDocGetRootElement(document.get()) : nullptr;
}

}  // namespace

const ResponseLayout *responseLayout(const std::string &command) {
    static const ResponseLayout layouts[] = {
        {"executeOnDevice", "commandExitCode", {"stdOut", "stdErr"}},
        {"queryUser", "seconds", {}},
    };
    for (const ResponseLayout &layout : layouts) {
        if (command == layout.command) {
            return &layout;
        }
    }
    return nullptr;
}

ResponseFields responseFields(const std::string &document) {
    int line = 0;
    std::string reason;
    detail::XmlDocumentPtr parsed =
        detail::readXmlDocument(document, "response", kMaxDepth, &line, &reason);
    xmlNode *root = rootOf(parsed);
    ResponseFields fields;
    if (root == nullptr) {
        return fields;
    }
    if (!hasElementChildren(root)) {
        fields.emplace_back(nameOf(root), contentOf(root));
        return fields;
    }
    for (xmlNode *child = root->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            fields.emplace_back(nameOf(child), contentOf(child));
        }
    }
    return fields;
}

std::optional<std::string> responseField(const ResponseFields &fields, const std::string &name) {
    for (const auto &[fieldName, text] : fields) {
        if (fieldName == name) {
            return text;
        }
    }
    return std::nullopt;
}

std::optional<int> parseInteger(const std::string &text) {
    size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (first == text.size() || text.size() > 12) {
        return std::nullopt;
    }
    for (size_t i = first; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<CommandOutcome> parseOutcomeDocument(const std::string &document) {
    int line = 0;
    std::string reason;
    detail::XmlDocumentPtr parsed =
        detail::readXmlDocument(document, "kept outcome", kMaxDepth, &line, &reason);
    xmlNode *root = rootOf(parsed);
    if (root == nullptr || nameOf(root) != "commandOutcome") {
        return std::nullopt;
    }
    CommandOutcome outcome;
    bool named = false;
    std::optional<int> result;
    for (xmlNode *child = root->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        std::string name = nameOf(child);
        if (name == "command") {
            outcome.command = contentOf(child);
            named = true;
        } else if (name == "result") {
            result = parseInteger(contentOf(child));
        } else if (name == "errorClass") {
            outcome.errorClass = contentOf(child);
        } else if (name == "message") {
            outcome.message = contentOf(child);
        } else if (name == "response") {
            outcome.response = contentOf(child);
        }
    }
    if (!named || !result) {
        return std::nullopt;
    }
    outcome.result = *result;
    return outcome;
}

}  // namespace agent
