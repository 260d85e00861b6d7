// A command record written back as a command file, for keeping a command
// across a reboot. The text is stored with its line breaks removed, so no
// line break may carry meaning: those in texts are written as references.
#include <new>
#include <string>

#include "host/command/base64.h"
#include "host/command/charBufferData.h"
#include "host/command/commandRecord.h"
#include "host/xml/xmlText.h"

namespace {

using agent::detail::isSimpleXmlName;
using agent::detail::kMaxCommandDepth;
using agent::detail::LineBreaks;

void appendText(std::string &out, const char *text) {
    if (text != nullptr) {
        agent::detail::appendEscapedText(out, text, std::string(text).size(),
                                         LineBreaks::AsReferences);
    }
}

// depth is the nodes' level under <command> (level 0), which is also their
// indentation. False when a node's name would not make a well-formed element
// or the nodes lie deeper than a command file may nest.
bool writeNodes(std::string &out, const IxoXmlNode *node, int depth) {
    if (node != nullptr && depth >= kMaxCommandDepth) {
        return false;
    }
    for (; node != nullptr; node = node->next) {
        if (!isSimpleXmlName(node->name)) {
            return false;
        }
        std::string indent(static_cast<size_t>(depth) * 2, ' ');
        out += indent + "<" + node->name + ">";
        if (node->children != nullptr) {
            out += "\n";
            if (!writeNodes(out, node->children, depth + 1)) {
                return false;
            }
            out += indent;
        } else {
            appendText(out, node->text);
        }
        out += std::string("</") + node->name + ">\n";
    }
    return true;
}

void writeMimeParts(std::string &out, const IxoMimePart *part) {
    for (; part != nullptr; part = part->next) {
        out += "  <mimePart>\n    <headers>";
        appendText(out, part->headers);
        // base64 keeps any bytes, binary or not, exactly.
        out += "</headers>\n    <body encoding=\"base64\">";
        if (part->body != nullptr) {
            out += agent::detail::base64Encode(part->body->bytes);
        }
        out += "</body>\n  </mimePart>\n";
    }
}

bool writeCommand(std::string &out, const IxoCommand *command) {
    if (command->name == nullptr || command->name[0] == '\0') {
        return false;
    }
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<command name=\"";
    appendText(out, command->name);
    out += "\">\n  <parameters>\n";
    // The record's parameter node is the <parameters> element itself.
    if (command->parameters != nullptr && !writeNodes(out, command->parameters->children, 2)) {
        return false;
    }
    out += "  </parameters>\n";
    writeMimeParts(out, command->mimeParts);
    out += "</command>\n";
    return true;
}

}  // namespace

// Null for a null command, or one that cannot be written as a command file
// (no name, a parameter with a name XML does not allow, or parameters nested
// deeper than a command file may be).
extern "C" IxoCharBuffer *getCharBufferFromCommandStruct(IxoCommand *command) {
    if (command == nullptr) {
        return nullptr;
    }
    try {
        std::string xml;
        if (!writeCommand(xml, command)) {
            ixoLogger("Agent", __func__, __LINE__, 1,
                      "Cannot write command '%s' as XML: it has no name, a parameter "
                      "name that XML does not allow or parameters nested more than %d deep",
                      command->name != nullptr ? command->name : "", kMaxCommandDepth);
            return nullptr;
        }
        IxoCharBuffer *buffer = createCharBuffer();
        if (buffer != nullptr && !agent::detail::appendToBuffer(buffer, xml.data(), xml.size())) {
            freeAllCharBuffers(buffer);
            return nullptr;
        }
        return buffer;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
