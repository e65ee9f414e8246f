// The main of every test program (assetkit_test()): GoogleTest's, after one check. The runner
// that starts the programs (ASSETKIT_RUNNER: Wine's loader, under the test preset "wine") is a
// tool all the tests need, by the rule of need_tool(): missing, the program skips every test, in
// the words CTest takes for a skip, or fails under CI=true. GoogleTest's own skip cannot say it
// here: a skip in a global set-up is reported as a pass by the GoogleTest Debian ships.
#include "tests/checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const char* runner = getenv("ASSETKIT_RUNNER");
    if (runner && *runner && !testing::GTEST_FLAG(list_tests)) {
        switch (need_tool(runner)) {
        case Need::found:
            break;
        case Need::skip:
            printf("[  SKIPPED ] every test: the runner %s is missing\n", runner);
            return 0;
        case Need::fail:
            printf("[  FAILED  ] every test: the runner %s is missing, and CI=true needs it\n",
                   runner);
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
