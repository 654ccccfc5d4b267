#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Diagnostics.h"

namespace {
int CheckedHalf(int value) {
    VANTREL_ASSERT(value % 2 == 0);
    return value / 2;
}
}  // namespace

TEST(Diagnostics, AFailedAssertionReportsWhereAndWhatThenAbortsUnlessCaught) {
    EXPECT_DEATH(CheckedHalf(1),
                 "DiagnosticsTest.cpp\\([0-9]+\\): assertion failed: value % 2 == 0");
    CapturedDiagnostics captured;
    EXPECT_EQ(CheckedHalf(4), 2);
    EXPECT_TRUE(captured.assertions.empty());
    EXPECT_EQ(CheckedHalf(7), 3);
    ASSERT_EQ(captured.assertions.size(), 1u);
    EXPECT_STREQ(captured.assertions[0].expression, "value % 2 == 0");
    Trace("%s", "100% plain\n");
    EXPECT_EQ(captured.traces, std::vector<std::string>{"100% plain\n"});
}
