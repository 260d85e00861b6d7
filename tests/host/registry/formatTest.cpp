// The registry text format in memory: what every accepted name and value
// reads back as.
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
