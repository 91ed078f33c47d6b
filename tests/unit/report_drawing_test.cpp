// halvent-report's axes and trend labels: time labels that never repeat, dates written once.
#include <gtest/gtest.h>

#include <set>

#include "report/chart_drawing.hpp"
#include "report/report_picture.hpp"

TEST(ReportDrawing, TimeLabelsAreDistinctAndFewForAnyLength) {
    for (double end : {0.4, 1.0, 5.0, 20.0, 59.0, 90.0, 119.0, 120.0, 900.0, 3599.0, 5400.0}) {
        SCOPED_TRACE(end);
        const TimeAxis axis = timeAxisFor(end, 10);
        EXPECT_EQ(axis.inSeconds, end < 120.0);
        std::set<std::string> labels;
        int ticks = 0;
        for (double t = 0; t <= end + 1e-9; t += axis.stepSeconds, ++ticks)
            EXPECT_TRUE(labels.insert(axis.label(t)).second) << axis.label(t) << " twice";
        EXPECT_GE(ticks, 1);
        EXPECT_LE(ticks, 11);
    }
    EXPECT_EQ(timeAxisFor(20, 10).label(4), "4");
    EXPECT_EQ(timeAxisFor(900, 10).label(720), "12:00");
}

TEST(ReportDrawing, TrendLabelsWriteEachDateOnceWhereItChanges) {
    std::vector<ReportSession> sessions(5);
    const char* dates[] = {"2026-12-08 07:05", "2026-12-08 18:45", "2026-12-09 06:55",
                           "2026-12-09 19:00", ""};
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        sessions[i].date = dates[i];
        sessions[i].name = "s" + std::to_string(i) + ".csv";
    }
    const std::vector<TrendLabel> all = trendLabels(sessions, 1);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].time, "07:05");
    EXPECT_EQ(all[0].day, "2026-12-08");
    EXPECT_EQ(all[1].day, "");
    EXPECT_EQ(all[2].day, "2026-12-09");
    EXPECT_EQ(all[3].day, "");
    EXPECT_EQ(all[4].time, "s4.csv"); // a record not named by its start time
    // Thinned out, a day that began at an unlabelled session still shows at the next label.
    const std::vector<TrendLabel> thinned = trendLabels(sessions, 3);
    ASSERT_EQ(thinned.size(), 2u);
    EXPECT_EQ(thinned[1].session, 3u);
    EXPECT_EQ(thinned[1].day, "2026-12-09");
}
