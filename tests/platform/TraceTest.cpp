#include "platform/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Trace, WritesOneLineOnlyWhenDebugIsSet)
{
    testing::internal::CaptureStderr();
    unsetenv("ORVANTA_DEBUG");
    Trace("hidden %d", 1);
    setenv("ORVANTA_DEBUG", "", 1);
    Trace("hidden %d", 2);
    setenv("ORVANTA_DEBUG", "1", 1);
    Trace("station %s, %d%%", "list empty", 3);
    unsetenv("ORVANTA_DEBUG");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "station list empty, 3%\n");
}
