#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/Diagnostics.h"

namespace {
int CheckedHalf(int value) {
    VANTREL_ASSERT(value % 2 == 0);
    return value / 2;
}
}  // namespace

TEST(Diagnostics, FailedAssertionReportsFileLineAndExpressionAndReturns) {
    CapturedDiagnostics captured;
    EXPECT_EQ(CheckedHalf(4), 2);
    EXPECT_TRUE(captured.assertions.empty());

    EXPECT_EQ(CheckedHalf(7), 3);
    ASSERT_EQ(captured.assertions.size(), 1u);
    EXPECT_NE(std::strstr(captured.assertions[0].file, "DiagnosticsTest.cpp"), nullptr);
    EXPECT_GT(captured.assertions[0].line, 0);
    EXPECT_STREQ(captured.assertions[0].expression, "value % 2 == 0");
}

TEST(Diagnostics, DefaultAssertionAbortsWithLocation) {
    EXPECT_DEATH(CheckedHalf(1),
                 "DiagnosticsTest.cpp\\([0-9]+\\): assertion failed: value % 2 == 0");
}

TEST(Diagnostics, TraceFormatsIntoTheReplaceableSink) {
    CapturedDiagnostics captured;
    Trace("Warning: throwing CSerialException for error %d\n", 2);
    Trace("%s", "100% plain\n");
    ASSERT_EQ(captured.traces.size(), 2u);
    EXPECT_EQ(captured.traces[0], "Warning: throwing CSerialException for error 2\n");
    EXPECT_EQ(captured.traces[1], "100% plain\n");
}
