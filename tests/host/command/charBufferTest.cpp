// Char buffers, the XML element helpers that write into them (exact markup,
// refused names, documents well-formed whatever the bytes), MIME header lookup.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "host/host.h"

using agent::CharBufferPtr;

namespace {

const std::string replacement = "\xEF\xBF\xBD";

CharBufferPtr bufferWith(const std::string &bytes) {
    CharBufferPtr buffer(createCharBuffer());
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), bytes.data(), static_cast<int>(bytes.size())), 0);
    return buffer;
}

std::string copiedText(IxoCharBuffer *buffer) {
    char *text = charBufferToChar(buffer);
    EXPECT_NE(text, nullptr);
    std::string copy = text != nullptr ? text : "(null)";
    std::free(text);
    return copy;
}

// A result document holding the content as an element.
std::string document(const std::string &content) {
    CharBufferPtr buffer(createCharBuffer());
    CharBufferPtr source = bufferWith(content);
    EXPECT_EQ(addOpeningTag(buffer.get(), "result"), 0);
    EXPECT_EQ(addCharBufferElement(buffer.get(), "stdErr", source.get()), 0);
    EXPECT_EQ(addClosingTag(buffer.get(), "result"), 0);
    return agent::charBufferString(buffer.get());
}

}  // namespace

TEST(CharBuffer, AppendsRawBytesAndReadsThemBackFromAnyOffsetAndTextLosesLineBreaks) {
    CharBufferPtr buffer(createCharBuffer());
    ASSERT_TRUE(buffer);
    EXPECT_EQ(getTotalBufferLength(buffer.get()), 0);
    EXPECT_EQ(copiedText(buffer.get()), "");
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "a\0b", 3), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "cdef", 2), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), nullptr, 0), 0);
    EXPECT_EQ(addDataToCharBuffer(buffer.get(), "x", -1), -1);
    EXPECT_EQ(agent::charBufferString(buffer.get()), std::string("a\0bcd", 5));
    EXPECT_EQ(getTotalBufferLength(buffer.get()), 5);
    EXPECT_EQ(copiedText(bufferWith("hello world").get()), "hello world");
    std::string text = "\r\nline one\r\nline\ttwo\n\nend\r";
    removeNewLines(&text[0]);
    EXPECT_STREQ(text.c_str(), "line oneline\ttwoend");

    const struct {
        int size, offset, result;
        std::string read;
    } reads[] = {{3, 2, 3, "bcd"}, {8, 3, 2, "cd"}, {8, 5, 0, ""},
                 {0, 0, 0, ""},    {-1, 0, -1, ""}, {4, -1, -1, ""}};
    for (const auto &r : reads) {
        SCOPED_TRACE(std::to_string(r.size) + " from " + std::to_string(r.offset));
        std::string destination(8, '#');
        EXPECT_EQ(getDataFromCharBuffer(buffer.get(), &destination[0], r.size, r.offset), r.result);
        EXPECT_EQ(destination, r.read + std::string(8 - r.read.size(), '#'));
    }
}

TEST(XmlElements, WritesTagsIntegersAndEmptyElementsButNoNameThatWouldBreakTheDocument) {
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
    EXPECT_EQ(agent::charBufferString(buffer.get()), "start");

    EXPECT_EQ(addOpeningTag(buffer.get(), "_a-b.c9"), 0);
    EXPECT_EQ(addIntegerElement(buffer.get(), "low", INT_MIN), 0);
    EXPECT_EQ(addIntegerElement(buffer.get(), "high", INT_MAX), 0);
    EXPECT_EQ(addCharBufferElement(buffer.get(), "stdOut", nullptr), 0);
    EXPECT_EQ(addClosingTag(buffer.get(), "_a-b.c9"), 0);
    EXPECT_EQ(agent::charBufferString(buffer.get()),
              "start<_a-b.c9><low>-2147483648</low><high>2147483647</high><stdOut></stdOut>"
              "</_a-b.c9>");
}

TEST(XmlElements, EscapesMarkupAndReplacesWhatXmlCannotCarry) {
    const std::string r = replacement;
    const std::pair<std::string, std::string> cases[] = {
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c'"},
        {"]]>", "]]&gt;"},
        {"line 1\n\tline 2\r\n", "line 1\n\tline 2&#13;\n"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},            // two-byte sequence
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // euro sign
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // four-byte sequence
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},          // U+FFFD itself
        {"\xEF\xBF\xBF", r},                       // U+FFFF
        {"\xC0\xAF", r + r},                       // overlong '/'
        {"\xE0\x80\x80", r + r + r},               // overlong NUL
        {"\xED\xA0\x80", r + r + r},               // UTF-16 surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},       // beyond U+10FFFF
        {"\xE2\x82", r},                           // cut off at the end
        {"\xE2\x82<", r + "&lt;"},                 // cut off before markup
        {std::string("\0\x01\x1F\x7F", 4), r + r + r + "\x7F"},  // controls
        {"\x80\xC1\xF5\xFF", r + r + r + r},        // bytes that begin no sequence
    };
    for (const auto &[content, written] : cases) {
        SCOPED_TRACE(testing::PrintToString(content));
        EXPECT_EQ(document(content), "<result><stdErr>" + written + "</stdErr></result>");
    }
}

TEST(MimeHeaders, FindsWholeNamesWhateverTheCaseAndLineEnds) {
    const char block[] =
        "Content-Location-X: wrong\n"
        "X-Content-Location: wrong too\n"
        "Content-Type: application/octet-stream\r\n"
        "content-location:   /tmp/file.bin  \t\r\n"
        "Content-Location: second\n"
        "X-Url: http://server:8080/a?b=c\n"
        "Last:final";
    struct Case {
        const char *block;
        const char *name;
        const char *value;  // nullptr: not found
    };
    const Case cases[] = {
        {block, "Content-Type", "application/octet-stream"},
        {block, "CONTENT-LOCATION", "/tmp/file.bin"},
        {block, "x-url", "http://server:8080/a?b=c"},
        {block, "Last", "final"},
        {block, "Content", nullptr},
        {block, "", nullptr},
        {"Content-Location:\r\n", "Content-Location", ""},
        {"no colon here\nContent-Location: x", "Content-Location", "x"},
        {"\n\n  Content-Location: indented\n", "Content-Location", "indented"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.block) + " " + c.name);
        char *value = httpPayloadGetHeader(c.block, c.name);
        EXPECT_STREQ(value, c.value);
        std::free(value);
    }
}
