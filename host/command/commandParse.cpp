// Reading command files into command records.
//
//   <command name="deleteFile">              the handler's name; required
//     <parameters>                           optional, at most once
//       <file>/home/root/old.log</file>      leaf: text exactly as written
//       <delaySet><pair>...</pair></delaySet>  nested: no text, children
//     </parameters>
//     <mimePart>                             optional, repeated, in order
//       <headers>Content-Location: /tmp/a</headers>
//       <body encoding="base64">SGVsbG8=</body>   encoding "text" (default) or "base64"
//     </mimePart>
//   </command>
//
// Anything else (other elements or attributes, namespaces, text beside
// elements, elements nested deeper than kMaxCommandDepth) is refused with the
// line where it stands.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "host/command/commandXml.h"
#include "host/host.h"
#include "host/xml/xmlDocument.h"

namespace {

using namespace agent::detail;

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};

bool convertCommandChildren(const Source &source, xmlNode *root, IxoCommand *command) {
    IxoMimePart **partTail = &command->mimeParts;
    for (xmlNode *child = root->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            std::string name = nameOf(child);
            if (name == "parameters") {
                if (command->parameters != nullptr) {
                    return fail(source, lineOf(child), "<command> has more than one <parameters>");
                }
                command->parameters = convertParameters(source, child).release();
                if (command->parameters == nullptr) {
                    return false;
                }
            } else if (name == "mimePart") {
                *partTail = convertMimePart(source, child).release();
                if (*partTail == nullptr) {
                    return false;
                }
                partTail = &(*partTail)->next;
            } else {
                return fail(source, lineOf(child),
                            "unexpected element <" + name + "> in <command>");
            }
        } else if (isText(child) && !isBlank(child->content)) {
            return fail(source, textLineOf(child), "unexpected text in <command>");
        } else if (!isText(child) && !isIgnored(child)) {
            return fail(source, lineOf(child), "unexpected content in <command>");
        }
    }
    if (command->parameters == nullptr) {
        // Absent parameters read like an empty list.
        command->parameters = newNode("parameters", lineOf(root)).release();
        if (command->parameters == nullptr) {
            return outOfMemory(source, root);
        }
    }
    return true;
}

agent::CommandPtr convertCommand(const Source &source, xmlDoc *document) {
    xmlNode *root = xmlDocGetRootElement(document);
    if (root == nullptr) {
        fail(source, 1, "the document has no root element");
        return nullptr;
    }
    if (nameOf(root) != "command") {
        fail(source, lineOf(root), "the root element is <" + nameOf(root) + ">, not <command>");
        return nullptr;
    }
    if (!checkElement(source, root, "name")) {
        return nullptr;
    }
    bool present = false;
    std::string name = attributeValue(root, "name", &present);
    if (name.empty()) {
        fail(source, lineOf(root),
             present ? "the command's name is empty" : "<command> has no name attribute");
        return nullptr;
    }
    agent::CommandPtr command(static_cast<IxoCommand *>(std::calloc(1, sizeof(IxoCommand))));
    if (!command) {
        outOfMemory(source, root);
        return nullptr;
    }
    command->line = lineOf(root);
    command->name = copyText(name);
    command->sourceName = copyText(source.name);
    if (command->name == nullptr || command->sourceName == nullptr) {
        outOfMemory(source, root);
        return nullptr;
    }
    if (!convertCommandChildren(source, root, command.get())) {
        return nullptr;
    }
    return command;
}

agent::CommandPtr parseDocument(const std::string &xml, const Source &source) {
    int line = 0;
    std::string reason;
    XmlDocumentPtr document = readXmlDocument(xml, source.name, kMaxCommandDepth, &line, &reason);
    if (!document) {
        fail(source, line, reason);
        return nullptr;
    }
    return convertCommand(source, document.get());
}

}  // namespace

namespace agent {

CommandPtr parseCommand(const std::string &xml, const std::string &sourceName, std::string *error) {
    try {
        return parseDocument(xml, Source{sourceName, error});
    } catch (const std::bad_alloc &) {
        fail(Source{sourceName, error}, 0, "out of memory");
        return nullptr;
    }
}

CommandPtr loadCommandFile(const std::string &path, std::string *error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        if (error != nullptr) {
            *error = path + ":0: cannot open the command file: " + std::strerror(errno);
        }
        return nullptr;
    }
    std::string xml;
    char chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        xml.append(chunk, count);
    }
    if (std::ferror(file.get())) {
        if (error != nullptr) {
            *error = path + ":0: cannot read the command file: " + std::strerror(errno);
        }
        return nullptr;
    }
    return parseCommand(xml, path, error);
}

}  // namespace agent
