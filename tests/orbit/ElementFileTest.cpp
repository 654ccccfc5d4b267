#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "orbit/ElementFile.h"

namespace {

constexpr std::string_view kLine1 =
    "1 57166U 23091A   26084.83747850 -.00000009  00000-0  14817-4 0  9997";
constexpr std::string_view kLine2 =
    "2 57166  98.6179 141.4862 0004884  62.5359 297.6316 14.24039267142657";
// The same set numbered T7166 in the Alpha-5 form (I and O are left out of
// the letters), which stands for 277166.
constexpr std::string_view kAlphaLine1 =
    "1 T7166U 23091A   26084.83747850 -.00000009  00000-0  14817-4 0  9992";
constexpr std::string_view kAlphaLine2 =
    "2 T7166  98.6179 141.4862 0004884  62.5359 297.6316 14.24039267142652";

using Problem = std::tuple<int, std::string, std::string>;

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (const std::string_view line : lines) {
        text.append(line) += '\n';
    }
    return text;
}

}  // namespace

TEST(ElementFile, ReadsCelesTraksFormsWithTheirElements) {
    const ElementFile file = ReadElementFile(
        "METEOR-M2 3  \r\n" + std::string(kLine1) + "\r\n" + std::string(kLine2) + "\r\n\r\n" +
        Lines({"0 METEOR-M2 3 B", kAlphaLine1, kAlphaLine2, kLine1, kLine2}));
    EXPECT_TRUE(file.problems.empty());
    ASSERT_EQ(file.sets.size(), 3u);
    EXPECT_EQ(file.sets[0].name, "METEOR-M2 3");
    EXPECT_EQ(file.sets[1].name, "METEOR-M2 3 B");
    EXPECT_EQ(file.sets[1].catalogueNumber, 277166);
    EXPECT_EQ(file.sets[2].name, "57166");

    const ElementSet& set = file.sets[0];
    // 2026-03-25 20:05:58.1424 UTC, to well under a millisecond.
    EXPECT_NEAR(UnixFromJulianDate(set.epoch), 1774469158.1424, 1e-4);
    EXPECT_EQ(set.epoch.day, 2461124.5);
    EXPECT_DOUBLE_EQ(set.bstar, 0.14817e-4);
    EXPECT_DOUBLE_EQ(set.inclinationDeg, 98.6179);
    EXPECT_DOUBLE_EQ(set.rightAscensionDeg, 141.4862);
    EXPECT_DOUBLE_EQ(set.eccentricity, 0.0004884);
    EXPECT_DOUBLE_EQ(set.argumentOfPerigeeDeg, 62.5359);
    EXPECT_DOUBLE_EQ(set.meanAnomalyDeg, 297.6316);
    EXPECT_DOUBLE_EQ(set.meanMotionRevPerDay, 14.24039267);

    // Two-digit years from 57 on are of the 1900s, those below of the 2000s.
    for (const auto& [year, day] : {std::pair{"56", 2472081.5}, {"57", 2435922.5}}) {
        std::string line1(kLine1);
        line1.replace(18, 2, year);
        line1.back() = static_cast<char>('0' + ElementLineChecksum(line1));
        EXPECT_EQ(ReadElementFile(Lines({line1, kLine2})).sets.at(0).epoch.day, day) << year;
    }
}

// Each set that cannot be read is named with the file's line that is wrong;
// the sets around it are read.
TEST(ElementFile, BadSetsAreToldByLineAndSkipped) {
    std::string badChecksum(kLine2);
    badChecksum.back() = '8';
    const std::string badEpoch = std::string(kLine1).replace(23, 1, "1");
    std::string noMotion = std::string(kLine2).replace(52, 11, " 0.00000000");
    noMotion.back() = static_cast<char>('0' + ElementLineChecksum(noMotion));
    const ElementFile file =
        ReadElementFile(Lines({"NOAA 19", kLine1, badChecksum}) +         // lines 1-3
                        Lines({"LONE NAME"}) +                            // 4
                        Lines({"FIRST HALF", kLine1}) +                   // 5-6
                        Lines({"SECOND HALF", kLine2}) +                  // 7-8
                        Lines({"MIXED", kLine1, kAlphaLine2}) +           // 9-11
                        Lines({"SHORT", kLine1.substr(0, 68), kLine2}) +  // 12-14
                        Lines({"GOOD", kLine1, kLine2}) +                 // 15-17
                        Lines({"TAB\tNAME", kLine1, kLine2}) +            // 18-20
                        Lines({"BAD EPOCH", badEpoch, kLine2}) +          // 21-23
                        Lines({"STILL", kLine1, noMotion}));              // 24-26
    ASSERT_EQ(file.sets.size(), 1u);
    EXPECT_EQ(file.sets[0].name, "GOOD");
    std::vector<Problem> problems;
    for (const ElementFileProblem& problem : file.problems) {
        problems.emplace_back(problem.line, problem.satellite, problem.text);
    }
    EXPECT_EQ(problems, (std::vector<Problem>{
                            {3, "NOAA 19", "line 2 has a wrong checksum"},
                            {4, "LONE NAME", "no element lines follow the name"},
                            {6, "FIRST HALF", "line 1 has no line 2 after it"},
                            {8, "SECOND HALF", "line 2 has no line 1 before it"},
                            {11, "MIXED", "the two lines are not of one satellite"},
                            {13, "SHORT", "line 1 has 68 columns, not 69"},
                            {18, "TAB\tNAME", "the name holds control characters"},
                            {22, "BAD EPOCH", "line 1 has a wrong checksum"},
                            {26, "STILL", "an element does not read"},
                        }));
}
