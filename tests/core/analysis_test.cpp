// Mean, deviation, extremes and histogram of the statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

// A NaN is a sample without a value (a sensor error): no figure counts it,
// wherever it stands, and with no value at all the figures are those of an
// empty array.
TEST(AnalysisTest, SamplesWithoutValueAreLeftOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::vector<double> values;
        int count;
        double mean, sdev, max, min;
        int maxAt, minAt;
    };
    const std::vector<Case> cases = {
        {{23.5, nan, 23.5, nan}, 2, 23.5, 0.0, 23.5, 23.5, 0, 0},
        {{nan, 1.0, nan, 3.0}, 2, 2.0, std::sqrt(2.0), 3.0, 1.0, 3, 1},
        {{nan, nan, -4.0}, 1, -4.0, 0.0, -4.0, -4.0, 2, 2},
        {{5.0, 6.0, 7.0, 8.0, nan, 9.0}, 5, 7.0, std::sqrt(2.5), 9.0, 5.0, 5, 0},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.values.size());
        EXPECT_EQ(ValueCount(c.values.data(), n), c.count);
        double mean = -1, sdev = -1;
        EXPECT_EQ(StdDev(c.values.data(), n, &mean, &sdev), 0);
        EXPECT_NEAR(mean, c.mean, 1e-12);
        EXPECT_NEAR(sdev, c.sdev, 1e-12);
        double mx = 0, mn = 0;
        int imx = -1, imn = -1;
        EXPECT_EQ(MaxMin1D(c.values.data(), n, &mx, &imx, &mn, &imn), 0);
        EXPECT_EQ(mx, c.max);
        EXPECT_EQ(mn, c.min);
        EXPECT_EQ(imx, c.maxAt);
        EXPECT_EQ(imn, c.minAt);
        int counts[3];
        double axis[3];
        ASSERT_EQ(Histogram(c.values.data(), n, c.min - 1.0, c.max + 1.0, counts, axis, 3), 0);
        EXPECT_EQ(counts[0] + counts[1] + counts[2], c.count);
    }

    const double none[] = {nan, nan, nan};
    EXPECT_EQ(ValueCount(none, 3), 0);
    double mean = -1, sdev = -1;
    EXPECT_LT(StdDev(none, 3, &mean, &sdev), 0);
    EXPECT_EQ(mean, 0.0);
    EXPECT_EQ(sdev, 0.0);
    double mx = -1, mn = -1;
    int imx = 0, imn = 0;
    EXPECT_LT(MaxMin1D(none, 3, &mx, &imx, &mn, &imn), 0);
    EXPECT_EQ(mx, 0.0);
    EXPECT_EQ(mn, 0.0);
    EXPECT_EQ(imx, -1);
    EXPECT_EQ(imn, -1);
}

}  // namespace
