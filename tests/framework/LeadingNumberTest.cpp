#include <gtest/gtest.h>

#include <limits>

#include "framework/LeadingNumber.h"

TEST(LeadingInt32, ReadsLikeAtoiWithinRange) {
    EXPECT_EQ(LeadingInt32("50"), 50);
    EXPECT_EQ(LeadingInt32("  \t-7x"), -7);
    EXPECT_EQ(LeadingInt32("+12%"), 12);
    EXPECT_EQ(LeadingInt32("abc"), 0);
    EXPECT_EQ(LeadingInt32(""), 0);
    EXPECT_EQ(LeadingInt32("--3"), 0);
    EXPECT_EQ(LeadingInt32("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(LeadingInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
}

TEST(LeadingInt32, RejectsWhatDoesNotFitInsteadOfWrapping) {
    EXPECT_EQ(LeadingInt32("2147483648"), std::nullopt);
    EXPECT_EQ(LeadingInt32("-2147483649"), std::nullopt);
    EXPECT_EQ(LeadingInt32("4294967346"), std::nullopt);  // would wrap to 50
    EXPECT_EQ(LeadingInt32("123456789012345678901234567890"), std::nullopt);
}

TEST(LeadingDecimal, ReadsDecimalPrefixesInAnyLocale) {
    EXPECT_EQ(LeadingDecimal("137.5"), 137.5);
    EXPECT_EQ(LeadingDecimal(" 137.62MHZ"), 137.62);
    EXPECT_EQ(LeadingDecimal("-0.5"), -0.5);
    EXPECT_EQ(LeadingDecimal("+1E2"), 100.0);
    EXPECT_EQ(LeadingDecimal(".4"), 0.4);
    EXPECT_EQ(LeadingDecimal("137,5"), 137.0);
    EXPECT_EQ(LeadingDecimal("0X1P3"), 0.0);
    EXPECT_EQ(LeadingDecimal("ABC"), 0.0);
    EXPECT_EQ(LeadingDecimal("+-1"), 0.0);
    EXPECT_EQ(LeadingDecimal(""), 0.0);
}

TEST(LeadingDecimal, RejectsNonFiniteForms) {
    EXPECT_EQ(LeadingDecimal("NAN"), std::nullopt);
    EXPECT_EQ(LeadingDecimal("-INF"), std::nullopt);
    EXPECT_EQ(LeadingDecimal("INFINITY"), std::nullopt);
    EXPECT_EQ(LeadingDecimal("1E999"), std::nullopt);
}
