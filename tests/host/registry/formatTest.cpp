// The registry text format in memory: what parses, what every accepted name
// and value reads back as.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/registry/registryFormat.h"

using namespace agent::registry;

namespace {

Document parsed(const std::string &text) {
    Document document;
    ParseError error;
    EXPECT_TRUE(parseDocument(text, &document, &error)) << error.line << ": " << error.reason;
    return document;
}

std::string valueOf(const Document &document, const std::string &section, const std::string &key) {
    const Line *line = findKey(document, section, key);
    return line != nullptr ? line->value() : "<absent>";
}

TEST(RegistryFormat, ReadsNamesAndValuesExactly) {
    Document document = parsed(
        "; top comment\n\n[net]\r\nkey = spaced value \n  indented=yes\n  [ spaced section ]  \n"
        "x=1\n[net]\nlate=2\r\r\n# no final newline");
    EXPECT_EQ(valueOf(document, "net", "key "), " spaced value ");
    EXPECT_EQ(valueOf(document, "net", "key"), "<absent>");
    EXPECT_EQ(valueOf(document, "net", "indented"), "yes");
    EXPECT_EQ(valueOf(document, " spaced section ", "x"), "1");
    // A repeated section continues the first; names are case-sensitive.
    EXPECT_EQ(valueOf(document, "net", "late"), "2");
    EXPECT_EQ(valueOf(document, "NET", "late"), "<absent>");
    // The first key of a name wins, and is the one a write changes.
    Document duplicates = parsed("[s]\nk=first\nk=second\n");
    EXPECT_EQ(valueOf(duplicates, "s", "k"), "first");
    ASSERT_TRUE(setValue(&duplicates, "s", "k", "new"));
    EXPECT_EQ(serialiseDocument(duplicates), "[s]\nk=new\nk=second\n");
}

// Doubled CRs once stayed in values, so every save changed untouched lines.
TEST(RegistryFormat, RepeatedCarriageReturnsReadAndWriteBackStably) {
    const std::string written =
        serialiseDocument(parsed("[s]\r\r\nk=v\r\r\r\n; note\r\r\nlast=x\r\r"));
    EXPECT_EQ(written, "[s]\nk=v\n; note\nlast=x\n");
    EXPECT_EQ(serialiseDocument(parsed(written)), written);
}

TEST(RegistryFormat, RejectsWhatIsNoRegistryWithItsLine) {
    const struct {
        std::string text;
        size_t line;
    } cases[] = {
        {"# fine\nkey=before section\n", 2}, {"[s]\njust text\n", 2}, {"[s]\n=no key\n", 2},
        {"[s]\n[unterminated\n", 2},         {"[]\n", 1},             {"[a]b]\n", 1},
        {"[s]\nk=v\n[s] trailing\n", 3},
        // What a power cut leaves in a file written in place.
        {std::string("[s]\nk=v\0\0\0\n", 11), 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Document document;
        ParseError error;
        EXPECT_FALSE(parseDocument(c.text, &document, &error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_FALSE(error.reason.empty());
    }
}

// Whatever the checks accept must read back exactly, among neighbours.
TEST(RegistryFormat, EveryAcceptedTripleReadsBackExactly) {
    const char alphabet[] = " \t=[];#\\a\r\nZ";
    std::mt19937 random(20240611);
    auto text = [&]() {
        std::string result(random() % 6, ' ');
        for (char &c : result) {
            c = alphabet[random() % (sizeof alphabet - 1)];
        }
        return result;
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string section = text(), key = text(), value = text(), reason;
        if (!validSectionName(section.c_str(), &reason) || !validKeyName(key.c_str(), &reason) ||
            !validValue(value.c_str(), &reason)) {
            continue;
        }
        ++accepted;
        Document document = parsed("# c\n[neighbour]\nn=1\n");
        setValue(&document, section, key, value);
        Document reread = parsed(serialiseDocument(document));
        EXPECT_EQ(valueOf(reread, section, key), value) << "[" << section << "] " << key;
        if (section != "neighbour") {
            EXPECT_EQ(valueOf(reread, "neighbour", "n"), "1");
        }
    }
    EXPECT_GT(accepted, 100);
}

}  // namespace
