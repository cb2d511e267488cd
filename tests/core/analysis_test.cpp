// Mean, deviation, extremes and histogram of the statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/analysis.h"

namespace {

TEST(AnalysisTest, MeanAndStandardDeviation)
{
    struct Case {
        std::vector<double> values;
        double mean, sdev;
    };
    const std::vector<Case> cases = {
        {{2, 4, 4, 4, 5, 5, 7, 9}, 5.0, std::sqrt(32.0 / 7.0)},
        {{3.5}, 3.5, 0.0},
        {{1e9 + 1, 1e9 + 2, 1e9 + 3}, 1e9 + 2, 1.0},  // large offset keeps precision
        {{-1, 1}, 0.0, std::sqrt(2.0)},
    };
    for (const Case& c : cases) {
        double mean = -1, sdev = -1;
        StdDev(c.values.data(), static_cast<int>(c.values.size()), &mean, &sdev);
        EXPECT_NEAR(mean, c.mean, 1e-9);
        EXPECT_NEAR(sdev, c.sdev, 1e-9);
    }
    double mean = -1, sdev = -1;
    EXPECT_LT(StdDev(nullptr, 0, &mean, &sdev), 0);
    EXPECT_EQ(mean, 0.0);
    EXPECT_EQ(sdev, 0.0);
}

TEST(AnalysisTest, MaxMinAndPositions)
{
    const double v[] = {3, -2, 8, 8, -2, 0};
    double mx = 0, mn = 0;
    int imx = -1, imn = -1;
    MaxMin1D(v, 6, &mx, &imx, &mn, &imn);
    EXPECT_EQ(mx, 8);
    EXPECT_EQ(mn, -2);
    EXPECT_EQ(imx, 2);
    EXPECT_EQ(imn, 1);
}

TEST(AnalysisTest, HistogramCountsAndCentres)
{
    const double v[] = {0.0, 0.5, 1.0, 2.5, 3.99, 4.0, -0.1, 4.1};
    int counts[4];
    double axis[4];
    ASSERT_EQ(Histogram(v, 8, 0.0, 4.0, counts, axis, 4), 0);
    EXPECT_EQ(counts[0], 2);  // 0.0, 0.5
    EXPECT_EQ(counts[1], 1);  // 1.0
    EXPECT_EQ(counts[2], 1);  // 2.5
    EXPECT_EQ(counts[3], 2);  // 3.99 and the top edge 4.0
    EXPECT_DOUBLE_EQ(axis[0], 0.5);
    EXPECT_DOUBLE_EQ(axis[3], 3.5);
    // All values equal: one bin takes them all.
    const double same[] = {5, 5, 5};
    int c3[3];
    double a3[3];
    Histogram(same, 3, 4.0, 6.0, c3, a3, 3);
    EXPECT_EQ(c3[0] + c3[1] + c3[2], 3);
    EXPECT_EQ(c3[1], 3);
    EXPECT_LT(Histogram(v, 8, 1.0, 1.0, counts, axis, 4), 0);
}

}  // namespace
