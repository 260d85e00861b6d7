// The registry text format in memory: what parses, what every accepted name
// and value reads back as, and where edits land.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "agent/registryFormat.h"

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
        "; top comment\n\n[net]\r\nSOFTWARE\\TELMARC\\VORBIX\\ListenPort=5500\r\n"
        "key = spaced value \n  indented=yes\na=b=c\nempty=\n  [ spaced section ]  \n"
        "x=1\n[net]\nx=shadowed\nlate=2\n# no final newline");
    EXPECT_EQ(valueOf(document, "net", "SOFTWARE\\TELMARC\\VORBIX\\ListenPort"), "5500");
    EXPECT_EQ(valueOf(document, "net", "key "), " spaced value ");
    EXPECT_EQ(valueOf(document, "net", "key"), "<absent>");
    EXPECT_EQ(valueOf(document, "net", "indented"), "yes");
    EXPECT_EQ(valueOf(document, "net", "a"), "b=c");
    EXPECT_EQ(valueOf(document, "net", "empty"), "");
    EXPECT_EQ(valueOf(document, " spaced section ", "x"), "1");
    // A repeated section continues the first; the first key of a name wins.
    EXPECT_EQ(valueOf(document, "net", "late"), "2");
    EXPECT_EQ(valueOf(document, "NET", "late"), "<absent>");
    Document duplicates = parsed("[s]\nk=first\nk=second\n");
    EXPECT_EQ(valueOf(duplicates, "s", "k"), "first");
    ASSERT_TRUE(setValue(&duplicates, "s", "k", "new"));
    EXPECT_EQ(serialiseDocument(duplicates), "[s]\nk=new\nk=second\n");
}

// Several CRs before a line end (an editor's doubled line endings, or a file
// cut off after them) once left CRs in the value: each save of the file then
// lost one, so untouched lines changed at every write.
TEST(RegistryFormat, RepeatedCarriageReturnsReadAndWriteBackStably) {
    Document document = parsed("[s]\r\r\nk=v\r\r\r\n; note\r\r\nlast=x\r\r");
    EXPECT_EQ(valueOf(document, "s", "k"), "v");
    EXPECT_EQ(valueOf(document, "s", "last"), "x");
    const std::string written = serialiseDocument(document);
    EXPECT_EQ(written, "[s]\nk=v\n; note\nlast=x\n");
    EXPECT_EQ(serialiseDocument(parsed(written)), written);
}

TEST(RegistryFormat, RejectsWhatIsNoRegistryWithItsLine) {
    const struct {
        std::string text;
        size_t line;
    } cases[] = {
        {"# fine\nkey=before section\n", 2},
        {"[s]\njust text\n", 2},
        {"[s]\n=no key\n", 2},
        {"[s]\n[unterminated\n", 2},
        {"[]\n", 1},
        {"[a]b]\n", 1},
        {"[s]\nk=v\n[s] trailing\n", 3},
        // What a power cut leaves in a file written in place.
        {std::string("[s]\nk=v\0\0\0\n", 11), 2},
    };
    for (const auto &c : cases) {
        Document document;
        ParseError error;
        EXPECT_FALSE(parseDocument(c.text, &document, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.reason.empty());
    }
}

TEST(RegistryFormat, EditsKeepEveryOtherLineAndItsPlace) {
    const std::string original =
        "# head\n[a]\n  k1=old\n; about a\nk2=2\n\n# about b\n[b]\n\n# only comments\n";
    Document document = parsed(original);
    EXPECT_FALSE(setValue(&document, "a", "k2", "2"));
    EXPECT_EQ(serialiseDocument(document), original);

    ASSERT_TRUE(setValue(&document, "a", "k1", "new"));
    ASSERT_TRUE(setValue(&document, "a", "k3", "3"));
    ASSERT_TRUE(setValue(&document, "b", "first", "f"));
    ASSERT_TRUE(setValue(&document, "c", "k", "v"));
    EXPECT_EQ(serialiseDocument(document),
              "# head\n[a]\n  k1=new\n; about a\nk2=2\nk3=3\n\n# about b\n[b]\nfirst=f\n\n"
              "# only comments\n[c]\nk=v\n");

    Document twice = parsed("[x]\n1=1\n# x's\n[keep]\nk=v\n[x]\n2=2\n\n");
    EXPECT_TRUE(removeSection(&twice, "x"));
    EXPECT_EQ(serialiseDocument(twice), "[keep]\nk=v\n");
    EXPECT_FALSE(removeSection(&twice, "x"));
}

TEST(RegistryFormat, NameAndValueChecks) {
    std::string reason;
    for (const char *bad : {(const char *)nullptr, "", "a]b", "a\nb", "a\r"}) {
        EXPECT_FALSE(validSectionName(bad, &reason)) << (bad ? bad : "null");
    }
    for (const char *bad :
         {(const char *)nullptr, "", "a=b", "a\nb", "[a", "#a", ";a", " a", "\ta"}) {
        EXPECT_FALSE(validKeyName(bad, &reason)) << (bad ? bad : "null");
    }
    std::string longest(kMaxValueLength, 'v');
    EXPECT_TRUE(validValue(longest.c_str(), &reason));
    EXPECT_FALSE(validValue((longest + "v").c_str(), &reason));
    for (const char *bad : {(const char *)nullptr, "a\nb", "a\r"}) {
        EXPECT_FALSE(validValue(bad, &reason));
    }
}

// Whatever the checks accept must read back exactly, among neighbours.
TEST(RegistryFormat, EveryAcceptedTripleReadsBackExactly) {
    const char alphabet[] = " \t=[];#\\a\r\nZ";
    std::mt19937 random(20240611);
    auto text = [&]() {
        std::string result;
        size_t length = random() % 6;
        for (size_t i = 0; i < length; ++i) {
            result += alphabet[random() % (sizeof alphabet - 1)];
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
