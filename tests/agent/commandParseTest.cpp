// Command files: what a well-formed file gives the handlers, and how every
// kind of broken file is reported with its file and line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/ixoagent.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const char fullCommand[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a command as the server sends it -->
<command name="downloadFileFromServer">
  <parameters>
    <source>/tmp/file.bin</source>
    <destination>  /home/root/with spaces  </destination>
    <lockoutUser>true</lockoutUser>
    <empty/>
    <delaySet>
      <pair><key>5 minutes</key><value>300</value></pair>
      <pair><key>1 hour</key><value>3600</value></pair>
    </delaySet>
  </parameters>
  <mimePart>
    <headers>Content-Type: application/octet-stream
Content-Location: /tmp/file.bin</headers>
    <body encoding="base64">SGVs
      bG8=</body>
  </mimePart>
  <mimePart>
    <headers>Content-Location: notes.txt</headers>
    <body>plain &amp; simple</body>
  </mimePart>
</command>
)";

std::vector<std::string> childNames(IxoXmlNode *node) {
    std::vector<std::string> names;
    for (IxoXmlNode *child = node->children; child != nullptr; child = child->next) {
        names.push_back(child->name);
    }
    return names;
}

agent::CommandPtr parseGood(const std::string &xml) {
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "good.xml", &error);
    EXPECT_TRUE(command) << error;
    return command;
}

}  // namespace

TEST(CommandParse, GivesTheHandlersParametersAndMimeParts) {
    agent::CommandPtr command = parseGood(fullCommand);
    ASSERT_TRUE(command);
    EXPECT_STREQ(command->name, "downloadFileFromServer");
    EXPECT_STREQ(command->sourceName, "good.xml");
    EXPECT_EQ(command->line, 3);

    IxoXmlNode *parameters = command->parameters;
    ASSERT_NE(parameters, nullptr);
    EXPECT_STREQ(parameters->name, "parameters");
    EXPECT_EQ(parameters->text, nullptr);
    EXPECT_EQ(parameters->next, nullptr);
    EXPECT_EQ(
        childNames(parameters),
        (std::vector<std::string>{"source", "destination", "lockoutUser", "empty", "delaySet"}));
    EXPECT_STREQ(getSubNodeContentByName(parameters, "source"), "/tmp/file.bin");
    EXPECT_STREQ(getSubNodeContentByName(parameters, "destination"), "  /home/root/with spaces  ");
    EXPECT_STREQ(getSubNodeContentByName(parameters, "empty"), "");
    EXPECT_EQ(getSubNodeContentByName(parameters, "missing"), nullptr);
    EXPECT_EQ(getSubNodeByName(parameters, "source")->line, 5);

    // Nested parameters: the container has no text, its children are walked
    // through the sibling links.
    IxoXmlNode *delaySet = getSubNodeByName(parameters, "delaySet");
    ASSERT_NE(delaySet, nullptr);
    EXPECT_EQ(delaySet->text, nullptr);
    EXPECT_EQ(getSubNodeContentByName(parameters, "delaySet"), nullptr);
    IxoXmlNode *pair = getSubNodeByName(delaySet, "pair");
    ASSERT_NE(pair, nullptr);
    EXPECT_STREQ(getSubNodeContentByName(pair, "key"), "5 minutes");
    ASSERT_NE(pair->next, nullptr);
    EXPECT_STREQ(getSubNodeContentByName(pair->next, "value"), "3600");
    EXPECT_EQ(pair->next->next, nullptr);

    IxoMimePart *part = command->mimeParts;
    ASSERT_NE(part, nullptr);
    EXPECT_STREQ(part->headers,
                 "Content-Type: application/octet-stream\nContent-Location: /tmp/file.bin");
    EXPECT_EQ(agent::charBufferString(part->body), "Hello");
    ASSERT_NE(part->next, nullptr);
    EXPECT_EQ(agent::charBufferString(part->next->body), "plain & simple");
    EXPECT_EQ(part->next->next, nullptr);
}

TEST(CommandParse, KeepsLeafTextAsWritten) {
    agent::CommandPtr command = parseGood(
        "<command name='c'><parameters>"
        "<a>x &lt;&amp;&gt; &#10;&#x263A;<![CDATA[<raw & text>]]></a>"
        "<b>be<!-- note -->fore</b>"
        "<c>\n  multi\n  line\n</c>"
        "<d></d>"
        "</parameters></command>");
    ASSERT_TRUE(command);
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "a"),
                 "x <&> \n\xE2\x98\xBA<raw & text>");
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "b"), "before");
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "c"), "\n  multi\n  line\n");
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "d"), "");
}

TEST(CommandParse, AbsentOrEmptyParametersReadAsAnEmptyList) {
    for (const char *xml :
         {"<command name=\"rebootDevice\"/>",
          "<command name=\"rebootDevice\"><parameters/></command>",
          "<command name=\"rebootDevice\"><parameters>\n  </parameters></command>"}) {
        SCOPED_TRACE(xml);
        agent::CommandPtr command = parseGood(xml);
        ASSERT_TRUE(command);
        ASSERT_NE(command->parameters, nullptr);
        EXPECT_STREQ(command->parameters->name, "parameters");
        EXPECT_EQ(command->parameters->text, nullptr);
        EXPECT_EQ(command->parameters->children, nullptr);
        EXPECT_EQ(command->mimeParts, nullptr);
        EXPECT_EQ(getSubNodeContentByName(command->parameters, "file"), nullptr);
    }
}

TEST(CommandParse, LookupsAreNullSafe) {
    agent::CommandPtr command =
        parseGood("<command name='c'><parameters><a>1</a></parameters></command>");
    ASSERT_TRUE(command);
    EXPECT_EQ(getSubNodeByName(nullptr, "a"), nullptr);
    EXPECT_EQ(getSubNodeByName(command->parameters, nullptr), nullptr);
    EXPECT_EQ(getSubNodeContentByName(nullptr, "a"), nullptr);
    EXPECT_EQ(getSubNodeContentByName(command->parameters, nullptr), nullptr);
    // Only direct children count.
    EXPECT_EQ(getSubNodeByName(command->parameters, "parameters"), nullptr);
    agent::CommandDeleter()(nullptr);
}

TEST(CommandParse, ReportsEachBrokenFileWithItsLine) {
    struct Case {
        const char *xml;
        int line;
        const char *reason;
    };
    const Case cases[] = {
        {"", 1, "empty"},
        {"<command name='a'>\n<parameters>\n<file>x</parameters>\n</command>", 3, "mismatch"},
        {"<command name='a'>\n<parameters>\n", 3, ""},
        {"<command name='a'>\n\n<parameters><file>&undefined;</file></parameters></command>", 3,
         "undefined"},
        {"<command name='a'>\n<parameters><file>caf\xE9</file></parameters></command>", 2, "UTF-8"},
        {"<command name='a'><parameters><file>a\x01</file></parameters></command>", 1, ""},
        {"<?xml version='1.0'?>\n<order name='a'/>", 2, "<order>, not <command>"},
        {"<command>\n<parameters/></command>", 1, "no name attribute"},
        {"<command name=''/>", 1, "name is empty"},
        {"<command name='a' mode='x'/>", 1, "unexpected attribute 'mode'"},
        {"<command name='a' xmlns='urn:x'/>", 1, "namespaces"},
        {"<command name='a'>\n  <parameters/>\n  <extra/>\n</command>", 3,
         "unexpected element <extra> in <command>"},
        {"<command name='a'>\n  loose text\n</command>", 2, "unexpected text in <command>"},
        {"<command name='a'>\n<mimePart>\n\n  loose\n  "
         "text\n\n<headers/><body/></mimePart></command>",
         4, "unexpected text in <mimePart>"},
        {"<command name='a'><parameters>\n<set>\n<a>1</a>\n\n  text\n</set></parameters></command>",
         5, "text mixed with elements in <set>"},
        {"<command name='a'>\n<parameters/>\n<parameters/>\n</command>", 3,
         "more than one <parameters>"},
        {"<command name='a'><parameters>\n<file kind='x'>y</file></parameters></command>", 2,
         "unexpected attribute 'kind'"},
        {"<command name='a'><parameters>\n<set>text<a>1</a></set></parameters></command>", 2,
         "text mixed with elements in <set>"},
        {"<command name='a'><parameters>stray</parameters></command>", 1,
         "text mixed with elements in <parameters>"},
        {"<command name='a' xmlns:p='urn:p'><parameters>\n<p:file/></parameters></command>", 2,
         "namespaces"},
        {"<command name='a'>\n<mimePart>\n<headers>H: v</headers>\n</mimePart></command>", 2,
         "<mimePart> without <body>"},
        {"<command name='a'>\n<mimePart><body/></mimePart></command>", 2,
         "<mimePart> without <headers>"},
        {"<command name='a'><mimePart><headers/>\n<body/><body/></mimePart></command>", 2,
         "more than one <body>"},
        {"<command name='a'><mimePart><headers/>\n<other/><body/></mimePart></command>", 2,
         "unexpected element <other> in <mimePart>"},
        {"<command name='a'><mimePart>\n<headers><h/></headers><body/></mimePart></command>", 2,
         "<headers> holds elements"},
        {"<command name='a'><mimePart><headers/>\n\n<body encoding='base64'>SGVsbG8</body>"
         "</mimePart></command>",
         3, "not valid base64"},
        {"<command name='a'><mimePart><headers/>\n<body encoding='base64'>SG=sbG8=</body>"
         "</mimePart></command>",
         2, "not valid base64"},
        {"<command name='a'><mimePart><headers/>\n<body encoding='base64'>SGV*bG8=</body>"
         "</mimePart></command>",
         2, "not valid base64"},
        {"<command name='a'><mimePart><headers/>\n<body encoding='hex'>00</body>"
         "</mimePart></command>",
         2, "unknown body encoding 'hex'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        std::string error;
        EXPECT_FALSE(agent::parseCommand(c.xml, "bad.xml", &error));
        EXPECT_THAT(error, StartsWith("bad.xml:" + std::to_string(c.line) + ": "));
        EXPECT_THAT(error, HasSubstr(c.reason));
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(CommandParse, RefusesDocumentTypesBeforeReadingAnyEntity) {
    std::string dir = support::makeTempDir("xxe-");
    support::writeFile(dir + "/secret", "TOP-SECRET");
    const std::string documents[] = {
        "<?xml version='1.0'?>\n<!DOCTYPE command [\n<!ENTITY s SYSTEM 'file://" + dir +
            "/secret'>\n]>\n<command name='a'><parameters><f>&s;</f></parameters></command>",
        "<!DOCTYPE command SYSTEM '" + dir + "/secret'><command name='a'/>",
        // Exponential expansion: refused before any entity is defined.
        "<!DOCTYPE command [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;'>"
        "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;'>]><command name='&c;'/>",
    };
    int expectedLine = 2;
    for (const std::string &xml : documents) {
        SCOPED_TRACE(xml);
        std::string error;
        EXPECT_FALSE(agent::parseCommand(xml, "evil.xml", &error));
        EXPECT_EQ(error, "evil.xml:" + std::to_string(expectedLine) +
                             ": document type declarations are not allowed");
        expectedLine = 1;
    }
    support::removeTree(dir);
}

TEST(CommandParse, LoadsFilesAndNamesTheFileInErrors) {
    std::string dir = support::makeTempDir("commands-");
    support::writeFile(
        dir + "/delete.xml",
        "<command name=\"deleteFile\">\n  <parameters><file>/home/root/old.log</file>"
        "</parameters>\n</command>\n");
    support::writeFile(dir + "/broken.xml", "<command name=\"deleteFile\">\n\n  <parameters>\n");

    std::string error;
    agent::CommandPtr command = agent::loadCommandFile(dir + "/delete.xml", &error);
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(std::string(command->sourceName), dir + "/delete.xml");
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "file"), "/home/root/old.log");

    EXPECT_FALSE(agent::loadCommandFile(dir + "/broken.xml", &error));
    EXPECT_THAT(error, StartsWith(dir + "/broken.xml:4: "));

    EXPECT_FALSE(agent::loadCommandFile(dir + "/missing.xml", &error));
    EXPECT_EQ(error,
              dir + "/missing.xml:0: cannot open the command file: No such file or directory");

    EXPECT_FALSE(agent::loadCommandFile(dir, &error));
    EXPECT_EQ(error, dir + ":0: cannot read the command file: Is a directory");

    // No error text wanted: still a clean failure.
    EXPECT_FALSE(agent::loadCommandFile(dir + "/missing.xml", nullptr));
    EXPECT_FALSE(agent::parseCommand("<x/>", "x.xml", nullptr));
    support::removeTree(dir);
}
