#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "services/ActivityLog.h"

namespace {

using Lines = std::deque<std::string>;

class ActivityLogTest : public ::testing::Test {
protected:
    LogLines view;
    ActivityLog log{view};
};

}  // namespace

TEST_F(ActivityLogTest, NewestLineGoesOnTopUnchanged) {
    log.LogMessage(ReportVerbose, "A");
    log.LogMessage(ReportTuningOnly, "B");
    log.LogMessage(ReportVerbose, "      Vol     <50>%");
    EXPECT_EQ(view.NewestFirst(), (Lines{"      Vol     <50>%", "B", "A"}));
}

TEST_F(ActivityLogTest, ThresholdFiltersLinesLoggedAfterIt) {
    log.OnReportingTuning();
    EXPECT_EQ(log.ReportLevelThreshold(), ReportTuningOnly);
    log.LogMessage(ReportVerbose, "Found Sat <NOAA 15>");
    log.LogMessage(ReportTuningOnly, "Writing Radio Commands");
    EXPECT_EQ(view.NewestFirst(), (Lines{"Writing Radio Commands"}));

    // "Error Only" shows exactly what "Verbose" shows; earlier lines stay.
    log.OnReportingErrorOnly();
    EXPECT_EQ(log.ReportLevelThreshold(), ReportVerbose);
    log.LogMessage(ReportVerbose, "Radio OFF");
    EXPECT_EQ(view.NewestFirst(), (Lines{"Radio OFF", "Writing Radio Commands"}));

    log.OnReportingTuning();
    log.OnReportingVerbose();
    log.LogMessage(ReportVerbose, "Radio Talking");
    EXPECT_EQ(view.NewestFirst().front(), "Radio Talking");
}

TEST_F(ActivityLogTest, StoredThresholdsOutsideTheMenusValues) {
    log.SetReportLevelThreshold(5);
    log.LogMessage(ReportVerbose, "Settings Read to Registry");
    log.LogMessage(ReportTuningOnly, "Tell Radio to Tune etc.");
    EXPECT_TRUE(view.NewestFirst().empty());

    log.SetReportLevelThreshold(INT_MIN);
    log.LogMessage(ReportVerbose, "shown");
    EXPECT_EQ(view.NewestFirst(), (Lines{"shown"}));
}

TEST_F(ActivityLogTest, ClearListEmptiesLinesAndKeepsThreshold) {
    log.OnReportingTuning();
    log.LogMessage(ReportTuningOnly, "one");
    log.LogMessage(ReportTuningOnly, "two");
    log.OnClearList();
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_EQ(log.ReportLevelThreshold(), ReportTuningOnly);

    log.LogMessage(ReportVerbose, "hidden");
    log.LogMessage(ReportTuningOnly, "three");
    EXPECT_EQ(view.NewestFirst(), (Lines{"three"}));
}
