// Every test executable starts here. The safe seams go in before the first
// test, so no test can run a real device program or touch a real port.
#include <gtest/gtest.h>

#include <cstdio>
#include <exception>

#include "tests/support/support_internal.h"

int main(int argc, char **argv) {
    try {
        support::installSafeSeams();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "cannot set up the test seams: %s\n", error.what());
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    support::removeRunDirectory();
    return result;
}
