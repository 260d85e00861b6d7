// A command written back with getCharBufferFromCommandStruct reads back as
// the same command, also once its line breaks have been removed (as when it
// is kept in the registry across a reboot).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/ixoagent.h"
#include "tests/support/support.h"

namespace {

// Everything the handlers can see of a command, one item a line, so that two
// commands compare as texts and a difference shows where it is.
void dumpNodes(const IxoXmlNode *node, const std::string &indent, std::string &out) {
    for (; node != nullptr; node = node->next) {
        out +=
            indent + node->name + " = " +
            (node->text != nullptr ? testing::PrintToString(std::string(node->text)) : "(null)") +
            "\n";
        dumpNodes(node->children, indent + "  ", out);
    }
}

std::string dump(const IxoCommand *command) {
    std::string out =
        std::string("command ") + testing::PrintToString(std::string(command->name)) + "\n";
    dumpNodes(command->parameters, "", out);
    for (const IxoMimePart *part = command->mimeParts; part != nullptr; part = part->next) {
        out += "part " + testing::PrintToString(std::string(part->headers)) + " " +
               testing::PrintToString(agent::charBufferString(part->body)) + "\n";
    }
    return out;
}

std::string writtenXml(IxoCommand *command) {
    agent::CharBufferPtr buffer(getCharBufferFromCommandStruct(command));
    EXPECT_TRUE(buffer);
    return agent::charBufferString(buffer.get());
}

// The text as the registry keeps it.
std::string withoutLineBreaks(IxoCommand *command) {
    agent::CharBufferPtr buffer(getCharBufferFromCommandStruct(command));
    char *text = charBufferToChar(buffer.get());
    EXPECT_NE(text, nullptr);
    if (text == nullptr) {
        return "";
    }
    removeNewLines(text);
    std::string flat = text;
    std::free(text);
    return flat;
}

std::string allBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes + bytes;
}

const char richCommand[] =
    "<command name=\"exec &quot;&amp;&lt;&#10;&#9;x\">\n"
    "<parameters>\n"
    "  <commandLine>  echo \"a &lt; b\" &amp;&amp; cat &gt; /tmp/x  </commandLine>\n"
    "  <script>line one\nline two\r\n\tindented&#13;\n</script>\n"
    "  <unicode>caf\xC3\xA9 \xF0\x9F\x98\x80 ]]&gt;</unicode>\n"
    "  <empty/>\n"
    "  <delaySet><pair><key>5 minutes</key><value>300</value></pair>\n"
    "    <pair><key/><value> </value></pair></delaySet>\n"
    "</parameters>\n"
    "<mimePart><headers>Content-Type: text/plain\n"
    "Content-Location: a.txt</headers><body>text\nbody</body></mimePart>\n"
    "<mimePart><headers/><body/></mimePart>\n"
    "</command>\n";

}  // namespace

TEST(CommandRoundTrip, WrittenCommandReadsBackUnchanged) {
    std::string error;
    agent::CommandPtr original = agent::parseCommand(richCommand, "rich.xml", &error);
    ASSERT_TRUE(original) << error;
    std::string xml = writtenXml(original.get());
    agent::CommandPtr again = agent::parseCommand(xml, "written.xml", &error);
    ASSERT_TRUE(again) << error << "\n" << xml;
    EXPECT_EQ(dump(again.get()), dump(original.get())) << xml;
    EXPECT_STREQ(again->name, "exec \"&<\n\tx");
}

TEST(CommandRoundTrip, SurvivesRemovingTheLineBreaks) {
    std::string error;
    agent::CommandPtr original = agent::parseCommand(richCommand, "rich.xml", &error);
    ASSERT_TRUE(original) << error;
    std::string flat = withoutLineBreaks(original.get());
    EXPECT_EQ(flat.find_first_of("\r\n"), std::string::npos);
    agent::CommandPtr again = agent::parseCommand(flat, "registry", &error);
    ASSERT_TRUE(again) << error << "\n" << flat;
    EXPECT_EQ(dump(again.get()), dump(original.get())) << flat;
}

TEST(CommandRoundTrip, BinaryMimeBodiesKeepEveryByte) {
    std::string error;
    agent::CommandPtr command = agent::parseCommand(
        "<command name='downloadFileFromServer'><mimePart><headers>Content-Location: f</headers>"
        "<body/></mimePart></command>",
        "binary.xml", &error);
    ASSERT_TRUE(command) << error;
    std::string bytes = allBytes();
    ASSERT_EQ(
        addDataToCharBuffer(command->mimeParts->body, bytes.data(), static_cast<int>(bytes.size())),
        0);
    agent::CommandPtr again = agent::parseCommand(withoutLineBreaks(command.get()), "flat", &error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(agent::charBufferString(again->mimeParts->body), bytes);
}

TEST(CommandRoundTrip, RefusesWhatCannotBeWritten) {
    EXPECT_EQ(getCharBufferFromCommandStruct(nullptr), nullptr);

    std::string error;
    agent::CommandPtr command = agent::parseCommand(
        "<command name='c'><parameters><good>1</good></parameters></command>", "c.xml", &error);
    ASSERT_TRUE(command) << error;
    char *name = command->parameters->children->name;
    command->parameters->children->name = strdup("bad name");
    support::clearLog();
    EXPECT_EQ(getCharBufferFromCommandStruct(command.get()), nullptr);
    EXPECT_NE(support::logText().find("Cannot write command 'c' as XML"), std::string::npos);
    std::free(command->parameters->children->name);
    command->parameters->children->name = name;

    char *commandName = command->name;
    command->name = nullptr;
    EXPECT_EQ(getCharBufferFromCommandStruct(command.get()), nullptr);
    command->name = commandName;
    EXPECT_NE(writtenXml(command.get()).find("<good>1</good>"), std::string::npos);
}
