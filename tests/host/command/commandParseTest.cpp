// Command files: what the handlers get, how broken files are reported, and
// commands written back as XML (getCharBufferFromCommandStruct).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const char fullCommand[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<command name="download &quot;&amp;&lt;&#10;&#9;x">
  <parameters>
    <source>/tmp/file.bin</source>
    <destination>  /home/root/with spaces  </destination>
    <commandLine>x &lt;&amp;&gt; &#10;&#x263A;<![CDATA[<raw & text>]]> be<!-- note -->fore</commandLine>
    <script>line one
&#9;indented&#13;
</script>
    <empty/>
    <delaySet>
      <pair><key>5 minutes</key><value>300</value></pair>
      <pair><key/><value> </value></pair>
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
    <body>plain &amp; simple
</body>
  </mimePart>
  <mimePart><headers/><body/></mimePart>
</command>
)";

agent::CommandPtr parseGood(const std::string &xml) {
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "good.xml", &error);
    EXPECT_TRUE(command) << error;
    return command;
}

// Text in brackets with its line breaks and tabs made visible.
std::string shown(const char *text) {
    if (text == nullptr) {
        return "-";
    }
    std::string out = "[";
    for (const char *c = text; *c != '\0'; ++c) {
        out += *c == '\n' ? "\\n" : *c == '\r' ? "\\r" : *c == '\t' ? "\\t" : std::string(1, *c);
    }
    return out + "]";
}

// Everything the handlers see of a command, one item a line.
void dumpNodes(const IxoXmlNode *node, const std::string &indent, std::string &out) {
    for (; node != nullptr; node = node->next) {
        out += indent + node->name + " " + shown(node->text) + "\n";
        dumpNodes(node->children, indent + "  ", out);
    }
}

std::string dump(const IxoCommand *command) {
    std::string out = "command " + shown(command->name) + "\n";
    dumpNodes(command->parameters, "", out);
    for (const IxoMimePart *part = command->mimeParts; part != nullptr; part = part->next) {
        out += "part " + shown(part->headers) + " " +
               shown(agent::charBufferString(part->body).c_str()) + "\n";
    }
    return out;
}

std::string writtenXml(IxoCommand *command) {
    agent::CharBufferPtr buffer(getCharBufferFromCommandStruct(command));
    EXPECT_TRUE(buffer);
    return agent::charBufferString(buffer.get());
}

// A command file whose elements nest depth levels, <command> and <parameters>
// included, one opening tag a line.
std::string nestedCommand(int depth) {
    std::string xml = "<command name='a'>\n<parameters>\n";
    for (int level = 3; level <= depth; ++level) {
        xml += "<p>\n";
    }
    xml += "x";
    for (int level = 3; level <= depth; ++level) {
        xml += "</p>";
    }
    return xml + "</parameters></command>";
}

}  // namespace

TEST(CommandParse, GivesTheHandlersParametersAndMimePartsAndReadsBackWhatItWrites) {
    agent::CommandPtr command = parseGood(fullCommand);
    ASSERT_TRUE(command);
    const std::string expected =
        "command [download \"&<\\n\\tx]\n"
        "parameters -\n"
        "  source [/tmp/file.bin]\n"
        "  destination [  /home/root/with spaces  ]\n"
        "  commandLine [x <&> \\n\xE2\x98\xBA<raw & text> before]\n"
        "  script [line one\\n\\tindented\\r\\n]\n"
        "  empty []\n"
        "  delaySet -\n"
        "    pair -\n"
        "      key [5 minutes]\n"
        "      value [300]\n"
        "    pair -\n"
        "      key []\n"
        "      value [ ]\n"
        "part [Content-Type: application/octet-stream\\nContent-Location: /tmp/file.bin] [Hello]\n"
        "part [Content-Location: notes.txt] [plain & simple\\n]\n"
        "part [] []\n";
    EXPECT_EQ(dump(command.get()), expected);
    EXPECT_STREQ(command->sourceName, "good.xml");
    EXPECT_EQ(command->line, 2);
    IxoXmlNode *parameters = command->parameters;
    EXPECT_EQ(getSubNodeByName(parameters, "source")->line, 4);
    EXPECT_STREQ(getSubNodeContentByName(parameters, "source"), "/tmp/file.bin");
    EXPECT_EQ(getSubNodeContentByName(parameters, "missing"), nullptr);
    // Lookups see only direct children; a container has no text.
    EXPECT_EQ(getSubNodeByName(parameters, "pair"), nullptr);
    EXPECT_EQ(getSubNodeContentByName(parameters, "delaySet"), nullptr);

    std::string bytes;  // a binary body keeps every byte
    for (int i = 0; i < 512; ++i) {
        bytes += static_cast<char>(i);
    }
    IxoCharBuffer *binary = command->mimeParts->next->next->body;
    ASSERT_EQ(addDataToCharBuffer(binary, bytes.data(), static_cast<int>(bytes.size())), 0);
    // The registry keeps the text without line breaks.
    std::string flat = writtenXml(command.get());
    removeNewLines(&flat[0]);
    flat = flat.c_str();
    EXPECT_EQ(flat.find_first_of("\r\n"), std::string::npos);
    for (const std::string &xml : {writtenXml(command.get()), flat}) {
        std::string error;
        agent::CommandPtr again = agent::parseCommand(xml, "written.xml", &error);
        ASSERT_TRUE(again) << error << "\n" << xml;
        EXPECT_EQ(dump(again.get()), dump(command.get())) << xml;
        EXPECT_EQ(agent::charBufferString(again->mimeParts->next->next->body), bytes);
    }
    // Absent or empty parameters read as an empty list.
    for (const char *xml :
         {"<command name='reboot'/>", "<command name='reboot'><parameters>\n  </parameters></command>"}) {
        agent::CommandPtr bare = parseGood(xml);
        ASSERT_TRUE(bare);
        EXPECT_EQ(dump(bare.get()), "command [reboot]\nparameters -\n") << xml;
    }
}

// A bad name, a command without one, and a record nested a million deep are
// not written; the deep one is freed without overflowing the stack.
TEST(CommandParse, RecordNestedAMillionDeepIsNotWrittenAndFreedWithoutOverflow) {
    agent::CommandPtr command =
        parseGood("<command name='c'><parameters><good>1</good></parameters></command>");
    ASSERT_TRUE(command);
    char *name = command->parameters->children->name;
    command->parameters->children->name = strdup("bad name");
    EXPECT_EQ(getCharBufferFromCommandStruct(command.get()), nullptr);
    std::free(command->parameters->children->name);
    command->parameters->children->name = name;

    char *commandName = command->name;
    command->name = nullptr;
    EXPECT_EQ(getCharBufferFromCommandStruct(command.get()), nullptr);
    command->name = commandName;
    EXPECT_THAT(writtenXml(command.get()), HasSubstr("<good>1</good>"));

    IxoXmlNode **tail = &command->parameters->children->next;
    for (int level = 0; level < 1000000; ++level) {
        *tail = static_cast<IxoXmlNode *>(std::calloc(1, sizeof(IxoXmlNode)));
        ASSERT_NE(*tail, nullptr);
        (*tail)->name = strdup("p");
        tail = &(*tail)->children;
    }
    support::clearLog();
    EXPECT_EQ(getCharBufferFromCommandStruct(command.get()), nullptr);
    EXPECT_THAT(support::logText(), HasSubstr("nested more than 64 deep"));
    command.reset();
}

TEST(CommandParse, FileNestedDeeperThan64LevelsIsRefusedAtItsLine) {
    std::string error;
    agent::CommandPtr deepest = agent::parseCommand(nestedCommand(64), "deep.xml", &error);
    ASSERT_TRUE(deepest) << error;
    // Kept across a reboot, it reads back.
    EXPECT_TRUE(agent::parseCommand(writtenXml(deepest.get()), "kept.xml", &error)) << error;

    EXPECT_FALSE(agent::parseCommand(nestedCommand(65), "deep.xml", &error));
    EXPECT_EQ(error, "deep.xml:65: elements nested more than 64 deep");
}

TEST(CommandParse, ReportsEachBrokenFileWithItsLine) {
    struct Case {
        std::string xml;
        int line;
        // The whole message after "FILE:LINE: ", or, where libxml2 words
        // it, a part of it (partial).
        const char *reason;
        bool partial = false;
    };
    std::vector<Case> cases = {
        {"", 1, "empty", true},
        {"<command name='a'>\n<parameters>\n", 3, "", true},
        {"<?xml version='1.0'?>\n<order name='a'/>", 2, "the root element is <order>, not <command>"},
        {"<command>\n<parameters/></command>", 1, "<command> has no name attribute"},
        {"<command name=''/>", 1, "the command's name is empty"},
        {"<command name='a' mode='x'/>", 1, "unexpected attribute 'mode' on <command>"},
        {"<command name='a' xmlns='urn:x'/>", 1, "namespaces are not supported (<command>)"},
        // Refused before any entity is read.
        {"<?xml version='1.0'?>\n<!DOCTYPE command [\n<!ENTITY s SYSTEM 'file:///etc/passwd'>\n]>\n"
         "<command name='a'><parameters><f>&s;</f></parameters></command>",
         2, "document type declarations are not allowed"},
        {"<!DOCTYPE command SYSTEM '/etc/passwd'><command name='a'/>", 1,
         "document type declarations are not allowed"},
    };
    // The rest inside <command name='a'>...</command>.
    const Case contents[] = {
        {"\n  <parameters/>\n  <extra/>\n", 3, "unexpected element <extra> in <command>"},
        {"\n  loose text\n", 2, "unexpected text in <command>"},
        {"\n<mimePart>\n\n  loose\n  text\n\n<headers/><body/></mimePart>", 4,
         "unexpected text in <mimePart>"},
        {"<parameters>\n<set>\n<a>1</a>\n\n  text\n</set></parameters>", 5,
         "text mixed with elements in <set>"},
        {"\n<parameters/>\n<parameters/>\n", 3, "<command> has more than one <parameters>"},
        {"<parameters>\n<file kind='x'>y</file></parameters>", 2,
         "unexpected attribute 'kind' on <file>"},
        {"\n<mimePart>\n<headers>H: v</headers>\n</mimePart>", 2, "<mimePart> without <body>"},
        {"\n<mimePart><body/></mimePart>", 2, "<mimePart> without <headers>"},
        {"<mimePart><headers/>\n<body/><body/></mimePart>", 2, "<mimePart> has more than one <body>"},
        {"<mimePart><headers/>\n<other/><body/></mimePart>", 2,
         "unexpected element <other> in <mimePart>"},
        {"<mimePart>\n<headers><h/></headers><body/></mimePart>", 2, "<headers> holds elements"},
        {"<mimePart><headers/>\n\n<body encoding='base64'>SGVsbG8</body></mimePart>", 3,
         "<body> is not valid base64"},
        {"<mimePart><headers/>\n<body encoding='base64'>SG=sbG8=</body></mimePart>", 2,
         "<body> is not valid base64"},
        {"<mimePart><headers/>\n<body encoding='hex'>00</body></mimePart>", 2,
         "unknown body encoding 'hex' (text or base64)"},
    };
    for (const Case &c : contents) {
        cases.push_back({"<command name='a'>" + c.xml + "</command>", c.line, c.reason});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        std::string error;
        std::string where = "bad.xml:" + std::to_string(c.line) + ": ";
        EXPECT_FALSE(agent::parseCommand(c.xml, "bad.xml", &error));
        if (c.partial) {
            EXPECT_THAT(error, StartsWith(where));
            EXPECT_THAT(error, HasSubstr(c.reason));
            EXPECT_EQ(error.find('\n'), std::string::npos);
        } else {
            EXPECT_EQ(error, where + c.reason);
        }
    }
}

TEST(CommandParse, LoadsFilesAndNamesTheFileInErrors) {
    std::string dir = support::makeTempDir("commands-");
    support::writeFile(
        dir + "/delete.xml",
        "<command name='deleteFile'><parameters><file>/x</file></parameters></command>");

    std::string error;
    agent::CommandPtr command = agent::loadCommandFile(dir + "/delete.xml", &error);
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(std::string(command->sourceName), dir + "/delete.xml");
    EXPECT_STREQ(getSubNodeContentByName(command->parameters, "file"), "/x");

    EXPECT_FALSE(agent::loadCommandFile(dir + "/missing.xml", &error));
    EXPECT_EQ(error,
              dir + "/missing.xml:0: cannot open the command file: No such file or directory");

    EXPECT_FALSE(agent::loadCommandFile(dir, &error));
    EXPECT_EQ(error, dir + ":0: cannot read the command file: Is a directory");
    support::removeTree(dir);
}
