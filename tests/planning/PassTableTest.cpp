#include <gtest/gtest.h>

#include "planning/PassTable.h"
#include "tests/support/Diagnostics.h"

TEST(PassRows, InsertAtIndexOrAppendPastTheEnd) {
    PassRows rows;
    EXPECT_EQ(rows.InsertItem(5, "a"), 0);
    EXPECT_EQ(rows.InsertItem(0, "b"), 0);
    EXPECT_EQ(rows.InsertItem(1, "c"), 1);
    EXPECT_EQ(rows.InsertItem(3, "d"), 3);
    ASSERT_EQ(rows.GetItemCount(), 4);
    EXPECT_EQ(rows.GetItemText(0, PassColumnStart), "b");
    EXPECT_EQ(rows.GetItemText(1, PassColumnStart), "c");
    EXPECT_EQ(rows.GetItemText(2, PassColumnStart), "a");
    EXPECT_EQ(rows.GetItemText(3, PassColumnStart), "d");
    EXPECT_EQ(rows.GetItemText(1, PassColumnName), "");

    rows.SetItemText(1, PassColumnName, "NOAA 15");
    rows.SetItemText(1, PassColumnStart, "c2");
    EXPECT_EQ(rows.GetItemText(1, PassColumnName), "NOAA 15");
    EXPECT_EQ(rows.GetItemText(1, PassColumnStart), "c2");
    EXPECT_EQ(rows.GetItemText(2, PassColumnName), "");

    EXPECT_EQ(rows.VisibleRow(), -1);
    rows.EnsureVisible(2);
    EXPECT_EQ(rows.VisibleRow(), 2);
}

TEST(PassRows, CellsOutsideTheTableAreProgrammingErrors) {
    const CapturedDiagnostics diagnostics;
    PassRows rows;
    rows.InsertItem(0, "a");
    EXPECT_EQ(rows.GetItemText(1, PassColumnStart), "");
    EXPECT_EQ(rows.GetItemText(0, kPassColumns), "");
    rows.SetItemText(0, -1, "x");
    EXPECT_EQ(diagnostics.assertions.size(), 3u);
    EXPECT_EQ(rows.GetItemText(0, PassColumnStart), "a");
}
