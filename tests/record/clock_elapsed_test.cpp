#include <gtest/gtest.h>

#include "core/clock.h"
#include "platform/seams.h"

namespace {

TEST(ClockElapsedTest, SecondsFromStartToPcClock)
{
    seam::setClock(2013, 3, 8, 12, 34, 56);  // count 416061296
    const struct {
        int start;
        int elapsed;
    } cases[] = {
        {416061296 - 10, 10},
        {416061296, 0},
        {416061296 + 5, -5},
        {0, 416061296},
        {-1107671297, 416061296 + 1107671297},  // a start in 2100 lies ahead
    };
    for (const auto& c : cases) EXPECT_EQ(elapsedTime(c.start), c.elapsed) << c.start;
}

TEST(ClockElapsedTest, FollowsTheClockAcrossMidnight)
{
    seam::setClock(2000, 2, 28, 23, 59, 50);
    const int start = 5097590;  // 02-28-2000 23:59:50
    EXPECT_EQ(elapsedTime(start), 0);
    seam::setClock(2000, 2, 29, 0, 0, 5);  // 2000 is leap
    EXPECT_EQ(elapsedTime(start), 15);
    seam::setClock(2000, 3, 1, 0, 0, 5);
    EXPECT_EQ(elapsedTime(start), 15 + 86400);
}

TEST(ClockElapsedTest, WrapsLikeA32BitCount)
{
    // Ten seconds after the largest positive count the present count is
    // negative; the difference still comes out right.
    seam::setClock(2068, 1, 19, 3, 14, 17);
    EXPECT_EQ(elapsedTime(2147483647), 10);
}

}  // namespace
