// This test binary has no version resource of its own.
#include <gtest/gtest.h>

#include "app/version.h"

TEST(NoVersionResourceTest, EmptyVersionOrError)
{
    EXPECT_EQ(GetExeFileVersion(), "");
    EXPECT_EQ(GetAppVersionText(), "error");
    EXPECT_EQ(VersionToNumber(GetExeFileVersion()), 0);
}
