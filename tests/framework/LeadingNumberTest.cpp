#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/LeadingNumber.h"

TEST(LeadingNumber, ReadsLikeTheCRuntimeButRefusesWhatDoesNotFitOrIsNotFinite) {
    for (const auto& [text, value] : std::vector<std::pair<std::string_view, std::optional<int>>>{
             {"  \t-7x", -7},
             {"+12%", 12},
             {"--3", 0},
             {"2147483647", 2147483647},
             {"-2147483648", -2147483647 - 1},
             {"2147483648", std::nullopt},
             {"-2147483649", std::nullopt},
             {"4294967346", std::nullopt}}) {
        EXPECT_EQ(LeadingInt32(text), value) << text;
    }
    for (const auto& [text, value] :
         std::vector<std::pair<std::string_view, std::optional<double>>>{{" 137.62MHZ", 137.62},
                                                                         {"-0.5", -0.5},
                                                                         {"+1E2", 100.0},
                                                                         {".4", 0.4},
                                                                         {"137,5", 137.0},
                                                                         {"0X1P3", 0.0},
                                                                         {"+-1", 0.0},
                                                                         {"", 0.0},
                                                                         {"NAN", std::nullopt},
                                                                         {"-INF", std::nullopt},
                                                                         {"1E999", std::nullopt}}) {
        EXPECT_EQ(LeadingDecimal(text), value) << text;
    }
}
