// Header lookup in MIME header blocks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "agent/ixoagent.h"

namespace {

// The value as a string; "(null)" when absent. Frees the copy, as callers must.
std::string header(const char *block, const char *name) {
    char *value = httpPayloadGetHeader(block, name);
    if (value == nullptr) {
        return "(null)";
    }
    std::string text = value;
    std::free(value);
    return text;
}

}  // namespace

TEST(MimeHeaders, FindsValuesWhateverTheCaseAndLineEnds) {
    const char block[] =
        "Content-Type: application/octet-stream\r\n"
        "content-location:   /tmp/file.bin  \t\r\n"
        "X-Url: http://server:8080/a?b=c\n"
        "Last:final";
    EXPECT_EQ(header(block, "Content-Type"), "application/octet-stream");
    EXPECT_EQ(header(block, "CONTENT-LOCATION"), "/tmp/file.bin");
    EXPECT_EQ(header(block, "x-url"), "http://server:8080/a?b=c");
    EXPECT_EQ(header(block, "Last"), "final");
}

TEST(MimeHeaders, MatchesWholeNamesOnly) {
    const char block[] =
        "Content-Location-X: wrong\n"
        "X-Content-Location: wrong too\n"
        "Content-Location: right\n"
        "Content-Location: second\n";
    EXPECT_EQ(header(block, "Content-Location"), "right");
    EXPECT_EQ(header(block, "Content"), "(null)");
    EXPECT_EQ(header(block, "Location"), "(null)");
    EXPECT_EQ(header(block, "Content-Location-X-Y"), "(null)");
}

TEST(MimeHeaders, AbsentEmptyAndOddInput) {
    EXPECT_EQ(header("Content-Type: text/plain\n", "Content-Location"), "(null)");
    EXPECT_EQ(header("", "Content-Location"), "(null)");
    EXPECT_EQ(header("Content-Location:\r\n", "Content-Location"), "");
    EXPECT_EQ(header("no colon here\nContent-Location: x", "Content-Location"), "x");
    EXPECT_EQ(header("\n\n  Content-Location: indented\n", "Content-Location"), "indented");
    EXPECT_EQ(header("Content-Location: a\n", ""), "(null)");
    EXPECT_EQ(httpPayloadGetHeader(nullptr, "Content-Location"), nullptr);
    EXPECT_EQ(httpPayloadGetHeader("Content-Location: a", nullptr), nullptr);
}
