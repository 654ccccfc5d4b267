#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/pcr1000-sim/CommandFramer.h"
#include "tools/pcr1000-sim/ReceiverModel.h"
#include "tools/pcr1000-sim/SimulatorOptions.h"
#include "tools/pcr1000-sim/Transcript.h"

namespace {

using Lines = std::vector<std::string>;

std::string AnswerTo(ReceiverModel& receiver, std::string_view command) {
    return receiver.Handle(command).answer.value_or("(none)");
}

}  // namespace

TEST(ReceiverModel, AnswersOnlyPowerCommandsWhileOff) {
    ReceiverModel receiver(false);
    for (const std::string_view ignored : {"J407F", "K00137500000 060400", "XYZ"}) {
        EXPECT_EQ(AnswerTo(receiver, ignored), "(none)") << ignored;
    }
    EXPECT_EQ(receiver.State().volume, 0);
    EXPECT_EQ(receiver.Handle("H101").changes, Lines{"Power on"});
    EXPECT_TRUE(receiver.Handle("H101").changes.empty());
    EXPECT_EQ(AnswerTo(receiver, "XYZ"), "G001\r\n");
}

TEST(ReceiverModel, ReportsEachChangeOnce) {
    ReceiverModel receiver(true);
    EXPECT_EQ(receiver.Handle("K00137912500050100").changes,
              Lines{"Tuned 137.912500 MHz NFM 6 kHz"});
    EXPECT_TRUE(receiver.Handle("K00137912500050100").changes.empty());
    EXPECT_EQ(receiver.Handle("J414c").changes, Lines{"Squelch 76 of 255"});
    EXPECT_EQ(receiver.Handle("J8210").changes, Lines{"DSP noise reduction level 16"});
    EXPECT_EQ(receiver.Handle("J8101").changes, Lines{"DSP noise reduction on"});
    EXPECT_EQ(receiver.Handle("J8100").changes, Lines{"DSP noise reduction off"});
    EXPECT_TRUE(receiver.Handle("J8100").changes.empty());
}

TEST(ReceiverModel, RejectsMalformedTuningCommandsAndKeepsItsSettings) {
    ReceiverModel receiver(true);
    ASSERT_EQ(AnswerTo(receiver, "K00137500000060400"), "G000\r\n");
    for (const std::string_view bad :
         {"K0", "K0013750000006040", "K001375000000604000", "K00137500000  060400",
          "K0013750000A060400", "K00137500000040400", "K00137500000060500", "K00137500000160400",
          "K00137500000060401", "K01300000001060400", "K00000009999060400", "J407", "J40G0",
          "J407FF", "J8002", "J8102", "J8211", "J4 7F"}) {
        EXPECT_EQ(AnswerTo(receiver, bad), "G001\r\n") << bad;
    }
    EXPECT_EQ(receiver.State().frequencyHz, 137500000u);
    EXPECT_EQ(receiver.State().volume, 0);
    EXPECT_EQ(receiver.State().noiseReductionLevel, 0);
}

TEST(CommandFramer, CutsCommandsAtLineFeedsAcrossReads) {
    CommandFramer framer;
    EXPECT_TRUE(framer.Feed("H1").empty());
    EXPECT_EQ(framer.Feed(std::string_view("?\r\nH101\r\n\0J40", 13)),
              (Lines{"H1?\r\n", "H101\r\n"}));
    const Lines next = framer.Feed("7F\n");
    EXPECT_EQ(next, Lines{std::string("\0J407F\n", 7)});
    EXPECT_EQ(CommandText(next.at(0)), "J407F");
    EXPECT_EQ(CommandText("H1?\r\n"), "H1?");
    EXPECT_EQ(CommandText(std::string_view("\0\0", 2)), "");
    // Only a CR right before the LF belongs to the line end.
    EXPECT_EQ(CommandText("H1?\r\r\n"), "H1?\r");

    const Lines cut = framer.Feed(std::string(2500, 'x'));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), CommandFramer::kLongestCommand);
}

TEST(Transcript, StampsAndEscapesEachCommand) {
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(1234), "H1?\r\n"), "1.234\tH1?\\r\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(7), std::string_view("\0K0 1\n", 6)),
              "0.007\t\\0K0 1\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(61000), ""), "61.000\t\n");
}

TEST(SimulatorOptions, TakesAReplyDelayAndRefusesNonsense) {
    std::string error;
    const std::vector<std::string_view> delay{"--reply-delay", "250"};
    EXPECT_EQ(ParseSimulatorOptions(delay, error).value().replyDelay.count(), 250);
    for (const std::vector<std::string_view>& bad : {std::vector<std::string_view>{"--link"},
                                                     {"--power", "maybe"},
                                                     {"--reply-delay", "-1"},
                                                     {"--reply-delay", "10ms"},
                                                     {"--reply-delay", "3600001"},
                                                     {"--verbose"}}) {
        error.clear();
        EXPECT_FALSE(ParseSimulatorOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}
