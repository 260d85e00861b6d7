// The element helpers the library builds its result documents with.
#include <new>
#include <string>

#include "host/command/charBufferData.h"
#include "host/xml/xmlText.h"

namespace {

using agent::detail::isSimpleXmlName;

// Builds the text with build() and appends it; -1 for a null buffer, a name
// that would break the document, or when memory runs out.
template <typename Build>
int appendMarkup(IxoCharBuffer *buffer, const char *name, Build build) {
    if (buffer == nullptr || !isSimpleXmlName(name)) {
        return -1;
    }
    try {
        std::string text = build();
        return agent::detail::appendToBuffer(buffer, text.data(), text.size()) ? 0 : -1;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

}  // namespace

extern "C" int addOpeningTag(IxoCharBuffer *buffer, const char *name) {
    return appendMarkup(buffer, name, [&] { return std::string("<") + name + ">"; });
}

extern "C" int addClosingTag(IxoCharBuffer *buffer, const char *name) {
    return appendMarkup(buffer, name, [&] { return std::string("</") + name + ">"; });
}

extern "C" int addIntegerElement(IxoCharBuffer *buffer, const char *name, int value) {
    return appendMarkup(buffer, name, [&] {
        return std::string("<") + name + ">" + std::to_string(value) + "</" + name + ">";
    });
}

// A null content gives an empty element.
extern "C" int addCharBufferElement(IxoCharBuffer *buffer, const char *name,
                                    IxoCharBuffer *content) {
    return appendMarkup(buffer, name, [&] {
        std::string element = std::string("<") + name + ">";
        if (content != nullptr) {
            agent::detail::appendEscapedText(element, content->bytes.data(), content->bytes.size(),
                                             agent::detail::LineBreaks::Keep);
        }
        return element + "</" + name + ">";
    });
}
