// The tests' stand-in world sits in front of the real one, and a reset clears
// what it noted without putting the real world back.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/world.h"

namespace {

std::string devicePath(int port)
{
    char path[256] = "";
    comDevicePath(port, path, sizeof path);
    return path;
}

TEST(WorldTest, StandInIsInUseAndTheRealWorldComesBackWhenAsked)
{
    ASSERT_TRUE(seam::enabled());
    EXPECT_NE(&platform::world(), &platform::realWorld());
    platform::setWorld(nullptr);
    EXPECT_FALSE(seam::enabled());
    EXPECT_EQ(&platform::world(), &platform::realWorld());
    seam::enable();
    EXPECT_TRUE(seam::enabled());
}

TEST(WorldTest, ResetKeepsTheStandInAndItsComMap)
{
    seam::clearComMap();
    seam::mapComPort(7, "/dev/merrivan-test-port");
    seam::pushConfirmAnswer(1);
    seam::reset();
    EXPECT_TRUE(seam::enabled());
    EXPECT_EQ(devicePath(7), "/dev/merrivan-test-port");
    EXPECT_EQ(ConfirmPopup("Title", "Question?"), 0);  // the answer went with the reset
    seam::clearComMap();
    seam::useBuiltInComMap();
    seam::reset();
}

}  // namespace
