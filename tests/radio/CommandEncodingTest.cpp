#include <gtest/gtest.h>

#include "radio/CommandEncoding.h"

TEST(CommandEncoding, KeywordTables) {
    EXPECT_EQ(ModeCode("LSB"), 0);
    EXPECT_EQ(ModeCode("USB"), 1);
    EXPECT_EQ(ModeCode("AM"), 2);
    EXPECT_EQ(ModeCode("CW"), 3);
    EXPECT_EQ(ModeCode("FM"), 5);
    EXPECT_EQ(ModeCode("WFM"), 6);
    EXPECT_EQ(ModeCode("WBFM"), 6);
    EXPECT_EQ(ModeCode("wfm"), std::nullopt);
    EXPECT_EQ(ModeCode("NFM"), std::nullopt);
    EXPECT_EQ(ModeCode(""), std::nullopt);

    EXPECT_EQ(FilterCode("3"), 0);
    EXPECT_EQ(FilterCode("2.8"), 0);
    EXPECT_EQ(FilterCode("6"), 1);
    EXPECT_EQ(FilterCode("15"), 2);
    EXPECT_EQ(FilterCode("50"), 3);
    EXPECT_EQ(FilterCode("230"), 4);
    EXPECT_EQ(FilterCode("6.0"), std::nullopt);
    EXPECT_EQ(FilterCode("230K"), std::nullopt);
}

TEST(CommandEncoding, WireFormats) {
    EXPECT_EQ(TuneCommand(137.5, 6, 4), "K00137500000 060400\r\n");
    EXPECT_EQ(TuneCommand(0.4, 0, 0), "K00000400000 000000\r\n");
    EXPECT_EQ(TuneCommand(1300.0, 5, 1), "K01300000000 050100\r\n");
    EXPECT_EQ(TuneCommand(137.62, 6, 4), "K00137620000 060400\r\n");

    EXPECT_EQ(VolumeCommand(0), "J4000\r\n");
    EXPECT_EQ(VolumeCommand(1), "J4002\r\n");
    EXPECT_EQ(VolumeCommand(50), "J407F\r\n");
    EXPECT_EQ(VolumeCommand(100), "J40FF\r\n");
    EXPECT_EQ(SquelchCommand(30), "J414C\r\n");

    EXPECT_EQ(DspLevelCommand(10), "J820a\r\n");
    EXPECT_EQ(DspLevelCommand(16), "J8210\r\n");
}
