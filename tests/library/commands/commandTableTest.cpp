// The command table the agent walks, and the constant platform hooks.
#include <set>

#include "tests/support/commandTestSupport.h"

using commandtest::handlerFor;

namespace {

TEST(CommandTable, UniqueNamesEndedByAnEmptyNameAndNullHandlerAndConstantHooks) {
    PlatformCommandHandler *table = getPlatformCommandHandlers();
    ASSERT_EQ(table, platformCommandHandlerList);
    std::set<std::string> names;
    size_t index = 0;
    for (; table[index].handler != nullptr; ++index) {
        ASSERT_LT(index, 32u) << "no terminating entry";
        ASSERT_NE(table[index].name, nullptr);
        EXPECT_STRNE(table[index].name, "") << "entry " << index;
        EXPECT_TRUE(names.insert(table[index].name).second) << table[index].name;
    }
    ASSERT_NE(table[index].name, nullptr);
    EXPECT_STREQ(table[index].name, "");
    // Names are case-sensitive; "uninstall" is a second name of one handler.
    EXPECT_EQ(handlerFor("deletefile"), nullptr);
    EXPECT_EQ(handlerFor("formatDisk"), nullptr);
    EXPECT_NE(handlerFor("deleteFile"), handlerFor("deleteDirectory"));
    EXPECT_EQ(handlerFor("uninstall"), handlerFor("uninstallFromDevice"));
    EXPECT_EQ(handlerFor("queryUser"), &queryUser);
    // The constant platform hooks.
    EXPECT_EQ(isSendResultPending(), -1);
    EXPECT_EQ(isRebootRequired(), -1);
}

}  // namespace
