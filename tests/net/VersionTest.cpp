#include "net/Version.h"

#include <gtest/gtest.h>

namespace
{
CVersion V(const char* pszText)
{
    return CVersion(CMyString(pszText));
}

TEST(VersionTest, PartsAreTheNumbersBetweenTheDotsAndCompareAsNumbers)
{
    const CVersion odd = V("1.x5.7beta.4.9");
    EXPECT_EQ(odd.GetPart(1), 0); // no leading digits
    EXPECT_EQ(odd.GetPart(2), 7);
    EXPECT_EQ(odd.GetPart(3), 4); // behind a fourth dot nothing counts
    EXPECT_EQ(V("2.0.1").GetPart(3), 0);
    EXPECT_TRUE(V("1.").IsValid());
    EXPECT_FALSE(V("3").IsValid() || V("").IsValid());

    EXPECT_GT(V("1.18"), V("1.2")); // 18 > 2, not a decimal fraction
    EXPECT_GT(V("10.0"), V("9.99"));
    EXPECT_EQ(V("2.0"), V("2.0.0.0"));
    EXPECT_GT(V("2.0.0.1"), V("2.0")); // the fourth part counts too
    EXPECT_LT(V("3"), V("1.0"));       // without a dot: older than every valid version
    EXPECT_EQ(V("3").Compare(V("7")), 0);
}
} // namespace
