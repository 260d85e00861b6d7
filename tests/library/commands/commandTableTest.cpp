// The command table the agent walks, and the constant platform hooks.
#include <set>

#include "tests/support/commandTestSupport.h"

using commandtest::handlerFor;

namespace {

TEST(CommandTable, UniqueCaseSensitiveNamesAndConstantHooks) {
    ASSERT_EQ(getPlatformCommandHandlers(), platformCommandHandlerList);
    std::set<std::string> names;
    for (PlatformCommandHandler *entry = platformCommandHandlerList; entry->handler != nullptr;
         ++entry) {
        EXPECT_TRUE(names.insert(entry->name).second) << entry->name;
    }
    EXPECT_EQ(names.count(""), 0u);
    EXPECT_EQ(handlerFor("deletefile"), nullptr);
    EXPECT_EQ(handlerFor("queryUser"), &queryUser);
    EXPECT_EQ(isSendResultPending(), -1);
    EXPECT_EQ(isRebootRequired(), -1);
}

}  // namespace
