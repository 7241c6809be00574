#include "platform/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Trace, WritesOneLineOnlyWhenDebugIsSet)
{
    unsetenv("ORVANTA_DEBUG");
    testing::internal::CaptureStderr();
    Trace("hidden %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    setenv("ORVANTA_DEBUG", "", 1);
    testing::internal::CaptureStderr();
    Trace("hidden %d", 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    setenv("ORVANTA_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    Trace("station %s, %d%%", "list empty", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "station list empty, 3%\n");
    unsetenv("ORVANTA_DEBUG");
}
