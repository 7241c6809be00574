// The string fuzzer checks the invariants over arbitrary text; these cases pin exact results.

#include "text/MyString.h"

#include "TextTestSupport.h"

#include <QString>
#include <gtest/gtest.h>

#include <malloc.h>

#include <string>

namespace
{
// The buffer holds at least capacity + 1 characters, so every length the string allows is safe.
bool CapacityFitsBuffer(const CMyString& str)
{
    return str.GetBuffer() == nullptr ? str.GetMaxCount() == 0
                                      : malloc_usable_size(str.GetBuffer()) > str.GetMaxCount();
}

std::string Decoded(const char* pszText)
{
    CMyString str(pszText);
    str.DecodeXmlEntities();
    return Text(str);
}

std::string Joined(const char* pszBase, const char* pszPiece)
{
    CMyString str(pszBase);
    str.AppendPath(CMyString(pszPiece));
    return Text(str);
}
} // namespace

TEST(MyStringTest, BufferCapacityAndAliasing)
{
    EXPECT_EQ(Text(CMyString(QString::fromUtf8("h\xC3\xA9"))), "h\xC3\xA9");
    CMyString str("abc");
    str.Reserve(2);
    EXPECT_EQ(str.GetMaxCount(), 3u);
    str.Reserve(10);
    str.AppendChar('d'); // room enough: no reallocation
    EXPECT_EQ(str.GetMaxCount(), 10u);
    EXPECT_TRUE(CapacityFitsBuffer(str));
    CMyString strCopy; // copies are exactly as long as the text
    strCopy = str;
    EXPECT_EQ(strCopy.GetMaxCount(), 4u);
    // A shrunk text keeps its capacity; an append must not claim more than the block it gets.
    CMyString strShrunk(std::string(100, 'a').c_str());
    strShrunk.SetLength(2);
    EXPECT_EQ(strShrunk.GetMaxCount(), 100u);
    strShrunk.Append("xy");
    EXPECT_EQ(Text(strShrunk), "aaxy");
    EXPECT_TRUE(CapacityFitsBuffer(strShrunk));
    CMyString strGrown("x.y.z");
    EXPECT_EQ(strGrown.Replace(".", "<dot>"), 2u);
    EXPECT_EQ(strGrown.GetMaxCount(), 13u);
    EXPECT_TRUE(CapacityFitsBuffer(strGrown));
    CMyString& strAlias = str;
    const char* pBefore = str.GetBuffer();
    str = strAlias;
    EXPECT_EQ(str.GetBuffer(), pBefore);
    str.Append(str.GetBuffer());
    str += strAlias;
    EXPECT_EQ(Text(str), "abcdabcdabcdabcd");
}

TEST(MyStringTest, SearchesMidAndComparison)
{
    EXPECT_EQ(CMyString("abcabc").Find('b', 2), 4u);
    EXPECT_EQ(CMyString("abcde").Find('e', 5), MY_NOT_FOUND);
    EXPECT_EQ(CMyString("abcabc").ReverseFind('a'), 3u);
    EXPECT_EQ(Text(CMyString("abcd").Mid(1, 2)), "bc");
    EXPECT_EQ(CMyString("abcd").Mid(1, 0xFFFFFFFFu).GetBuffer(), nullptr); // start + count wraps
    EXPECT_EQ(CMyString("a").Compare(CMyString("c")), -1);   // the sign, not the distance
    EXPECT_EQ(CMyString("\xE9").Compare(CMyString("z")), 1); // bytes compare unsigned
    EXPECT_EQ(CMyString().Compare(CMyString("a")), -1);
    EXPECT_FALSE(CMyString().IsEqualNoCase(CMyString("0")));
    CMyString strLower("AHello WORLD 09_@[Z");
    EXPECT_EQ(strLower.MakeLower(), 19u);
    EXPECT_EQ(Text(strLower), "ahello world 09_@[z");
}

TEST(MyStringTest, ReplaceDecodeEncodeAndJoin)
{
    CMyString str("abcabc");
    EXPECT_EQ(str.Replace("b", nullptr), 2u);
    EXPECT_EQ(Text(str), "acac");
    EXPECT_EQ(str.Replace(nullptr, "y") + str.Replace("", "y") + CMyString().Replace("a", ""), 0u);
    EXPECT_EQ(Decoded("&#0655;"), "A");                    // only three digits are read
    EXPECT_EQ(Decoded("&#233;"), "\xE9");                  // a single byte, not UTF-8
    EXPECT_EQ(Decoded("&#038;#038;#66; &amp;lt;"), "B <"); // a decoded '&' starts a new entity
    EXPECT_EQ(Decoded("a&#000;b&#xyz;c&#x41;"), "abc");
    EXPECT_EQ(Decoded("&amp; &#65 x"), "& &#65 x"); // no ';' after "&#": left alone
    EXPECT_EQ(Decoded("&lt;a href=&quot;x&quot;&gt;&apos;"), "<a href=\"x\">'");
    EXPECT_EQ(Text(CMyString("a b+c\t.-_~\x80\xFF").UrlEncode()), "a+b%2Bc%09%2E%2D%5F%7E%80%FF");
    EXPECT_EQ(Joined("dir", ""), "dir");
    EXPECT_EQ(Joined("C:\\dir", "f.txt"), "C:\\dir/f.txt"); // the slash is what gets added
    EXPECT_EQ(Joined("dir/", "\\f.txt"), "dir/f.txt");
    EXPECT_EQ(Joined("", "/f.txt"), "f.txt");
    EXPECT_EQ(Joined("dir", "\\f.txt"), "dir\\f.txt");
}

TEST(MyStringDeathTest, PreconditionsAreReported)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    const auto Report = [](const char* pszCondition)
    { return AssertionReport(pszCondition, "MyString"); };
    CMyString str("abc");
    EXPECT_DEATH(str.GetAt(3), Report("uIndex < m_uCount"));
    EXPECT_DEATH(str.SetLength(3), Report("(uLength == 0) || (uLength < m_uMaxCount)"));
    CMyString().SetLength(0); // the allowed case next to the failing one
}
