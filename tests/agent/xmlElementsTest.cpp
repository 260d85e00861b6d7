// The element helpers: exact markup, refused names, and documents that stay
// well-formed whatever bytes the content holds.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <string>

#include "agent/ixoagent.h"

using agent::CharBufferPtr;

namespace {

const std::string replacement = "\xEF\xBF\xBD";

CharBufferPtr bufferWith(const std::string &bytes) {
    CharBufferPtr buffer(createCharBuffer());
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), bytes.data(), static_cast<int>(bytes.size())), 0);
    return buffer;
}

// The element written for the content, without the tags around it.
std::string escaped(const std::string &content) {
    CharBufferPtr buffer(createCharBuffer());
    CharBufferPtr source = bufferWith(content);
    EXPECT_EQ(addCharBufferElement(buffer.get(), "v", source.get()), 0);
    std::string element = agent::charBufferString(buffer.get());
    EXPECT_EQ(element.substr(0, 3), "<v>");
    EXPECT_EQ(element.substr(element.size() - 4), "</v>");
    return element.substr(3, element.size() - 7);
}

struct DocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};

// The text of the root element, or "(not well-formed)" when libxml2 refuses
// the document.
std::string parsedText(const std::string &document) {
    std::unique_ptr<xmlDoc, DocFree> doc(
        xmlReadMemory(document.data(), static_cast<int>(document.size()), "result.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        return "(not well-formed)";
    }
    xmlChar *content = xmlNodeGetContent(xmlDocGetRootElement(doc.get()));
    std::string text = content != nullptr ? reinterpret_cast<char *>(content) : "";
    xmlFree(content);
    return text;
}

}  // namespace

TEST(XmlElements, WritesTagsAndIntegers) {
    CharBufferPtr buffer(createCharBuffer());
    EXPECT_EQ(addOpeningTag(buffer.get(), "executeOnDeviceResult"), 0);
    EXPECT_EQ(addIntegerElement(buffer.get(), "commandExitCode", 0), 0);
    EXPECT_EQ(addIntegerElement(buffer.get(), "low", INT_MIN), 0);
    EXPECT_EQ(addIntegerElement(buffer.get(), "high", INT_MAX), 0);
    EXPECT_EQ(addClosingTag(buffer.get(), "executeOnDeviceResult"), 0);
    EXPECT_EQ(agent::charBufferString(buffer.get()),
              "<executeOnDeviceResult><commandExitCode>0</commandExitCode>"
              "<low>-2147483648</low><high>2147483647</high></executeOnDeviceResult>");
}

TEST(XmlElements, RefusesNamesThatWouldBreakTheDocument) {
    CharBufferPtr buffer = bufferWith("start");
    CharBufferPtr content = bufferWith("x");
    for (const char *name :
         {"", "1st", "-a", ".a", "a b", "a<b", "a>", "a/", "x:y", "a&b", "caf\xC3\xA9", "a\"b"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(addOpeningTag(buffer.get(), name), -1);
        EXPECT_EQ(addClosingTag(buffer.get(), name), -1);
        EXPECT_EQ(addIntegerElement(buffer.get(), name, 1), -1);
        EXPECT_EQ(addCharBufferElement(buffer.get(), name, content.get()), -1);
    }
    EXPECT_EQ(addOpeningTag(buffer.get(), nullptr), -1);
    EXPECT_EQ(addCharBufferElement(buffer.get(), nullptr, content.get()), -1);
    EXPECT_EQ(agent::charBufferString(buffer.get()), "start");

    EXPECT_EQ(addOpeningTag(buffer.get(), "_a-b.c9"), 0);
    EXPECT_EQ(addOpeningTag(nullptr, "a"), -1);
    EXPECT_EQ(addClosingTag(nullptr, "a"), -1);
    EXPECT_EQ(addIntegerElement(nullptr, "a", 1), -1);
    EXPECT_EQ(addCharBufferElement(nullptr, "a", content.get()), -1);
}

TEST(XmlElements, NullContentGivesAnEmptyElement) {
    CharBufferPtr buffer(createCharBuffer());
    EXPECT_EQ(addCharBufferElement(buffer.get(), "stdOut", nullptr), 0);
    EXPECT_EQ(agent::charBufferString(buffer.get()), "<stdOut></stdOut>");
}

TEST(XmlElements, EscapesMarkupAndKeepsReadableLines) {
    EXPECT_EQ(escaped("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c'");
    EXPECT_EQ(escaped("]]>"), "]]&gt;");
    EXPECT_EQ(escaped("line 1\n\tline 2\r\n"), "line 1\n\tline 2&#13;\n");
    EXPECT_EQ(escaped(""), "");
}

TEST(XmlElements, ReplacesWhatXmlCannotCarry) {
    struct Case {
        std::string content;
        std::string written;
    };
    const std::string r = replacement;
    const Case cases[] = {
        {std::string("a\0b", 3), "a" + r + "b"},
        {"\x01\x08\x0B\x0C\x1F", r + r + r + r + r},
        {"\x7F", "\x7F"},                          // DEL is allowed
        {"caf\xC3\xA9", "caf\xC3\xA9"},            // two-byte sequence
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // euro sign
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // four-byte sequence
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},          // U+FFFD itself
        {"\xEF\xBF\xBE", r},                       // U+FFFE
        {"\xEF\xBF\xBF", r},                       // U+FFFF
        {"\x80", r},                               // lone continuation
        {"\xFF\xFE", r + r},
        {"\xC0\xAF", r + r},                  // overlong '/'
        {"\xE0\x80\x80", r + r + r},          // overlong NUL
        {"\xED\xA0\x80", r + r + r},          // UTF-16 surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},  // beyond U+10FFFF
        {"\xE2\x82", r},                      // cut off at the end
        {"\xE2\x82<", r + "&lt;"},            // cut off before markup
        {"\xC3", r},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.content));
        EXPECT_EQ(escaped(c.content), c.written);
    }
}

TEST(XmlElements, EveryByteValueGivesAWellFormedDocument) {
    std::string content;
    std::string expected;
    for (int byte = 0; byte < 256; ++byte) {
        content += static_cast<char>(byte);
        if (byte == '\t' || byte == '\n' || byte == '\r' || (byte >= 0x20 && byte < 0x80)) {
            expected += static_cast<char>(byte);
        } else {
            expected += replacement;  // controls, and bytes that begin no complete sequence
        }
    }
    CharBufferPtr document(createCharBuffer());
    CharBufferPtr source = bufferWith(content);
    ASSERT_EQ(addCharBufferElement(document.get(), "stdOut", source.get()), 0);
    EXPECT_EQ(parsedText(agent::charBufferString(document.get())), expected);
}

TEST(XmlElements, RandomBytesAlwaysParseBack) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 2000; ++round) {
        std::string content;
        for (int i = length(random); i > 0; --i) {
            content += static_cast<char>(byte(random));
        }
        CharBufferPtr document(createCharBuffer());
        CharBufferPtr source = bufferWith(content);
        ASSERT_EQ(addOpeningTag(document.get(), "result"), 0);
        ASSERT_EQ(addCharBufferElement(document.get(), "stdErr", source.get()), 0);
        ASSERT_EQ(addClosingTag(document.get(), "result"), 0);
        ASSERT_NE(parsedText(agent::charBufferString(document.get())), "(not well-formed)")
            << testing::PrintToString(content);
    }
}
