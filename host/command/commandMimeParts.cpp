// The MIME parts that came with a command: header block and body.
#include <cstdlib>
#include <string>
#include <utility>

#include "host/command/base64.h"
#include "host/command/charBufferData.h"
#include "host/command/commandXml.h"

namespace agent::detail {

namespace {

bool convertBody(const Source &source, xmlNode *element, IxoMimePart *part) {
    if (!checkElement(source, element, "encoding")) {
        return false;
    }
    bool present = false;
    std::string encoding = attributeValue(element, "encoding", &present);
    std::string text;
    if (hasElementChildren(element)) {
        return fail(source, lineOf(element), "<body> holds elements");
    }
    if (!leafText(source, element, &text)) {
        return false;
    }
    std::string bytes;
    if (!present || encoding == "text") {
        bytes = std::move(text);
    } else if (encoding == "base64") {
        if (!base64Decode(text, &bytes)) {
            return fail(source, lineOf(element), "<body> is not valid base64");
        }
    } else {
        return fail(source, lineOf(element),
                    "unknown body encoding '" + encoding + "' (text or base64)");
    }
    part->body = createCharBuffer();
    if (part->body == nullptr || !appendToBuffer(part->body, bytes.data(), bytes.size())) {
        return outOfMemory(source, element);
    }
    return true;
}

bool convertHeaders(const Source &source, xmlNode *element, IxoMimePart *part) {
    if (!checkElement(source, element, nullptr)) {
        return false;
    }
    if (hasElementChildren(element)) {
        return fail(source, lineOf(element), "<headers> holds elements");
    }
    std::string text;
    if (!leafText(source, element, &text)) {
        return false;
    }
    part->headers = copyText(text);
    return part->headers != nullptr || outOfMemory(source, element);
}

}  // namespace

MimePartPtr convertMimePart(const Source &source, xmlNode *element) {
    if (!checkElement(source, element, nullptr)) {
        return nullptr;
    }
    MimePartPtr part(static_cast<IxoMimePart *>(std::calloc(1, sizeof(IxoMimePart))));
    if (!part) {
        outOfMemory(source, element);
        return nullptr;
    }
    bool haveHeaders = false;
    bool haveBody = false;
    for (xmlNode *child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            std::string name = nameOf(child);
            bool converted;
            if (name == "headers" && !haveHeaders) {
                converted = convertHeaders(source, child, part.get());
                haveHeaders = true;
            } else if (name == "body" && !haveBody) {
                converted = convertBody(source, child, part.get());
                haveBody = true;
            } else if (name == "headers" || name == "body") {
                converted =
                    fail(source, lineOf(child), "<mimePart> has more than one <" + name + ">");
            } else {
                converted =
                    fail(source, lineOf(child), "unexpected element <" + name + "> in <mimePart>");
            }
            if (!converted) {
                return nullptr;
            }
        } else if (isText(child) && !isBlank(child->content)) {
            fail(source, textLineOf(child), "unexpected text in <mimePart>");
            return nullptr;
        } else if (!isText(child) && !isIgnored(child)) {
            fail(source, lineOf(child), "unexpected content in <mimePart>");
            return nullptr;
        }
    }
    if (!haveHeaders || !haveBody) {
        fail(source, lineOf(element),
             std::string("<mimePart> without <") + (haveHeaders ? "body" : "headers") + ">");
        return nullptr;
    }
    return part;
}

}  // namespace agent::detail
