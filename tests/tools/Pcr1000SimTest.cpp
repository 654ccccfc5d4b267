#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/pcr1000-sim/CommandFramer.h"
#include "tools/pcr1000-sim/ReceiverModel.h"
#include "tools/pcr1000-sim/SimulatorOptions.h"
#include "tools/pcr1000-sim/Transcript.h"

namespace {

std::string AnswerTo(ReceiverModel& receiver, std::string_view command) {
    const ReceiverResponse response = receiver.Handle(command);
    return response.answer.value_or("(none)");
}

std::optional<SimulatorOptions> Parse(std::vector<std::string_view> args, std::string& error) {
    return ParseSimulatorOptions(args, error);
}

}  // namespace

TEST(ReceiverModel, AnswersOnlyPowerCommandsWhileOff) {
    ReceiverModel receiver(false);
    EXPECT_EQ(AnswerTo(receiver, "H1?"), "H100\r\n");
    EXPECT_EQ(AnswerTo(receiver, "J407F"), "(none)");
    EXPECT_EQ(AnswerTo(receiver, "K00137500000 060400"), "(none)");
    EXPECT_EQ(AnswerTo(receiver, "XYZ"), "(none)");
    EXPECT_EQ(receiver.State().volume, 0);

    const ReceiverResponse on = receiver.Handle("H101");
    EXPECT_EQ(on.answer, "G000\r\n");
    EXPECT_EQ(on.changes, (std::vector<std::string>{"Power on"}));
    EXPECT_EQ(AnswerTo(receiver, "H1?"), "H101\r\n");
    EXPECT_TRUE(receiver.Handle("H101").changes.empty());
    EXPECT_EQ(AnswerTo(receiver, "XYZ"), "G001\r\n");
    EXPECT_EQ(AnswerTo(receiver, "H100"), "G000\r\n");
    EXPECT_FALSE(receiver.State().poweredOn);
}

TEST(ReceiverModel, TakesBothFormsOfTheFrequencyCommandAndSaysWhichIsUnusual) {
    ReceiverModel receiver(true);
    const ReceiverResponse spaced = receiver.Handle("K00137500000 060400");
    EXPECT_EQ(spaced.answer, "G000\r\n");
    EXPECT_EQ(spaced.changes,
              (std::vector<std::string>{"Tuned 137.500000 MHz WFM 230 kHz (unusual spacing: a "
                                        "space before the mode digits)"}));
    EXPECT_EQ(receiver.State().frequencyHz, 137500000u);
    EXPECT_EQ(receiver.State().mode, 6);
    EXPECT_EQ(receiver.State().filter, 4);

    const ReceiverResponse documented = receiver.Handle("K00137912500050100");
    EXPECT_EQ(documented.answer, "G000\r\n");
    EXPECT_EQ(documented.changes, (std::vector<std::string>{"Tuned 137.912500 MHz NFM 6 kHz"}));
    EXPECT_TRUE(receiver.Handle("K00137912500050100").changes.empty());
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

TEST(ReceiverModel, KeepsVolumeSquelchAndDspAndReportsEachChange) {
    ReceiverModel receiver(true);
    EXPECT_EQ(receiver.Handle("J407F").changes, (std::vector<std::string>{"Volume 127 of 255"}));
    EXPECT_EQ(receiver.Handle("J414c").changes, (std::vector<std::string>{"Squelch 76 of 255"}));
    EXPECT_EQ(receiver.Handle("J8001").changes, (std::vector<std::string>{"DSP unit on"}));
    EXPECT_EQ(receiver.Handle("J8101").changes,
              (std::vector<std::string>{"DSP noise reduction on"}));
    EXPECT_EQ(receiver.Handle("J8210").changes,
              (std::vector<std::string>{"DSP noise reduction level 16"}));
    EXPECT_TRUE(receiver.Handle("J407F").changes.empty());
    EXPECT_EQ(receiver.Handle("J8100").changes,
              (std::vector<std::string>{"DSP noise reduction off"}));
    const ReceiverState& state = receiver.State();
    EXPECT_EQ(state.volume, 0x7F);
    EXPECT_EQ(state.squelch, 0x4C);
    EXPECT_TRUE(state.dspUnit);
    EXPECT_FALSE(state.noiseReduction);
    EXPECT_EQ(state.noiseReductionLevel, 16);
}

TEST(CommandFramer, CutsCommandsAtLineFeedsAcrossReads) {
    CommandFramer framer;
    EXPECT_TRUE(framer.Feed("H1").empty());
    EXPECT_EQ(framer.Feed(std::string_view("?\r\nH101\r\n\0J40", 13)),
              (std::vector<std::string>{"H1?\r\n", "H101\r\n"}));
    const std::vector<std::string> next = framer.Feed("7F\n");
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0], std::string("\0J407F\n", 7));
    EXPECT_EQ(CommandText(next[0]), "J407F");
    EXPECT_EQ(CommandText("H1?\r\n"), "H1?");
    EXPECT_EQ(CommandText(std::string_view("\0\0", 2)), "");
    // Only a CR right before the LF belongs to the line end.
    EXPECT_EQ(CommandText("H1?\r\r\n"), "H1?\r");

    const std::vector<std::string> cut = framer.Feed(std::string(2500, 'x'));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), CommandFramer::kLongestCommand);
}

TEST(Transcript, StampsAndEscapesEachCommand) {
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(1234), "H1?\r\n"), "1.234\tH1?\\r\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(7), std::string_view("\0K0 1\n", 6)),
              "0.007\t\\0K0 1\\n\n");
    EXPECT_EQ(TranscriptLine(std::chrono::milliseconds(61000), ""), "61.000\t\n");
}

TEST(SimulatorOptions, ReadsEveryOptionAndRefusesNonsense) {
    std::string error;
    const std::optional<SimulatorOptions> defaults = Parse({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_FALSE(defaults->linkPath);
    EXPECT_FALSE(defaults->silent);
    EXPECT_FALSE(defaults->poweredOn);
    EXPECT_EQ(defaults->replyDelay.count(), 0);

    const std::optional<SimulatorOptions> all =
        Parse({"--link", "/tmp/com1", "--transcript", "t.txt", "--silent", "--reply-delay", "250",
               "--power", "on"},
              error);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->linkPath, "/tmp/com1");
    EXPECT_EQ(all->transcriptPath, "t.txt");
    EXPECT_TRUE(all->silent);
    EXPECT_EQ(all->replyDelay.count(), 250);
    EXPECT_TRUE(all->poweredOn);

    for (const std::vector<std::string_view>& bad : {std::vector<std::string_view>{"--link"},
                                                     {"--power", "maybe"},
                                                     {"--reply-delay", "-1"},
                                                     {"--reply-delay", "10ms"},
                                                     {"--reply-delay", "3600001"},
                                                     {"--verbose"}}) {
        error.clear();
        EXPECT_FALSE(Parse(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}
