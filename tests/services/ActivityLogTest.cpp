#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "services/ActivityLog.h"

namespace {

using Lines = std::deque<std::string>;

}  // namespace

// Each line as the threshold stood when it came: the menus' levels, "Error
// Only" as "Verbose", and stored numbers outside both.
TEST(ActivityLogTest, ALineShowsOnTopWhenItsLevelReachesTheThreshold) {
    LogLines view;
    ActivityLog log{view};
    log.LogMessage(ReportVerbose, "      Vol     <50>%");
    log.OnReportingTuning();
    log.LogMessage(ReportVerbose, "hidden at tuning");
    log.LogMessage(ReportTuningOnly, "Writing Radio Commands");
    log.OnReportingErrorOnly();
    EXPECT_EQ(log.ReportLevelThreshold(), ReportVerbose);
    log.LogMessage(ReportVerbose, "Radio OFF");
    log.SetReportLevelThreshold(5);
    log.LogMessage(ReportTuningOnly, "hidden at 5");
    log.SetReportLevelThreshold(INT_MIN);
    log.LogMessage(ReportVerbose, "shown at INT_MIN");
    log.OnReportingTuning();
    log.OnReportingVerbose();
    log.LogMessage(ReportVerbose, "Radio Talking");
    EXPECT_EQ(view.NewestFirst(), (Lines{"Radio Talking", "shown at INT_MIN", "Radio OFF",
                                         "Writing Radio Commands", "      Vol     <50>%"}));

    // "Clear List" keeps the threshold.
    log.OnReportingTuning();
    log.OnClearList();
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_EQ(log.ReportLevelThreshold(), ReportTuningOnly);
}
