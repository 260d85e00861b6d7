// The command table the agent walks, and the constant platform hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "ixo/commands.h"
#include "tests/commands/commandTestSupport.h"

namespace {

TEST(CommandTable, EndsWithAnEmptyNameAndNullHandler) {
    PlatformCommandHandler *table = getPlatformCommandHandlers();
    ASSERT_EQ(table, platformCommandHandlerList);
    std::set<std::string> names;
    size_t index = 0;
    for (; table[index].handler != nullptr; ++index) {
        ASSERT_NE(table[index].name, nullptr);
        EXPECT_STRNE(table[index].name, "") << "entry " << index;
        EXPECT_TRUE(names.insert(table[index].name).second) << table[index].name;
        ASSERT_LT(index, 32u) << "no terminating entry";
    }
    ASSERT_NE(table[index].name, nullptr);
    EXPECT_STREQ(table[index].name, "");
    EXPECT_TRUE(names.count("deleteFile"));
    EXPECT_TRUE(names.count("deleteDirectory"));
}

TEST(CommandTable, UnknownNamesReachTheTerminator) {
    EXPECT_EQ(commandtest::handlerFor("formatDisk"), nullptr);
    EXPECT_EQ(commandtest::handlerFor(""), nullptr);
    // Names are case-sensitive.
    EXPECT_EQ(commandtest::handlerFor("deletefile"), nullptr);
    EXPECT_NE(commandtest::handlerFor("deleteFile"), commandtest::handlerFor("deleteDirectory"));
}

TEST(CommandTable, ConstantPlatformHooks) {
    EXPECT_EQ(isSendResultPending(), -1);
    EXPECT_EQ(isRebootRequired(), -1);
    revertFileSystemState();
    AgentFunctionTable table{};
    initPlatformSpecificCommands(&table);
    initPlatformSpecificCommands(agent::functionTable());
    EXPECT_EQ(isSendResultPending(), -1);
}

}  // namespace
