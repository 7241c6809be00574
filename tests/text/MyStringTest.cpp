#include "text/MyString.h"

#include "TextTestSupport.h"

#include <QString>
#include <gtest/gtest.h>

#include <malloc.h>

#include <memory>
#include <string>

namespace
{
// The buffer holds at least capacity + 1 characters, so every length the string allows is safe.
bool CapacityFitsBuffer(const CMyString& str)
{
    return str.GetBuffer() == nullptr ? str.GetMaxCount() == 0
                                      : malloc_usable_size(str.GetBuffer()) > str.GetMaxCount();
}

std::u16string Text(const CMyStringW& str)
{
    return str.GetBuffer() == nullptr ? std::u16string() : std::u16string(str.GetBuffer());
}

std::u16string Wide(const CMyString& str, unsigned uCodePage)
{
    const std::unique_ptr<char16_t[]> pWide(str.ToWide(uCodePage));
    return pWide ? std::u16string(pWide.get()) : u"<null>";
}
} // namespace

TEST(MyStringTest, EmptyStringsHaveNoBuffer)
{
    EXPECT_EQ(CMyString(static_cast<const char*>(nullptr)).GetBuffer(), nullptr);
    EXPECT_EQ(CMyString("").GetBuffer(), nullptr);
    EXPECT_EQ(CMyString(QString()).GetBuffer(), nullptr);
    CMyString str("abc");
    str = CMyString("");
    EXPECT_EQ(str.GetBuffer(), nullptr);
    EXPECT_EQ(Text(CMyString(QString::fromUtf8("h\xC3\xA9"))), "h\xC3\xA9");
}

TEST(MyStringTest, CapacityGrowsExactlyToWhatIsAsked)
{
    CMyString str("abc");
    EXPECT_EQ(str.GetMaxCount(), 3u);
    str.Reserve(2);
    EXPECT_EQ(str.GetMaxCount(), 3u);
    str.Reserve(10);
    EXPECT_EQ(str.GetMaxCount(), 10u);
    EXPECT_TRUE(CapacityFitsBuffer(str));
    str.AppendChar('d'); // room enough: no reallocation
    EXPECT_EQ(str.GetMaxCount(), 10u);
    CMyString strChars;
    for (char c : std::string("hello"))
        strChars += c;
    EXPECT_EQ(strChars.GetMaxCount(), 5u);
    strChars += "xy";
    EXPECT_EQ(strChars.GetMaxCount(), 7u);

    CMyString strAssigned; // copies are exactly as long as the text
    strAssigned = str;
    EXPECT_EQ(Text(strAssigned), "abcd");
    EXPECT_EQ(strAssigned.GetMaxCount(), 4u);
}

TEST(MyStringTest, AppendAfterShrinkKeepsCapacityWithinBuffer)
{
    // A long text shrunk by SetLength keeps its capacity; an append must not then raise the
    // capacity beyond the block it (re)allocates.
    CMyString str(std::string(100, 'a').c_str());
    str.SetLength(2);
    EXPECT_EQ(Text(str), "aa");
    EXPECT_EQ(str.GetMaxCount(), 100u);
    str.Append("xy");
    EXPECT_EQ(Text(str), "aaxy");
    EXPECT_TRUE(CapacityFitsBuffer(str));
}

TEST(MyStringTest, SelfAssignmentAndSelfAppend)
{
    CMyString str("abc");
    const char* pBefore = str.GetBuffer();
    CMyString& strAlias = str;
    str = strAlias;
    EXPECT_EQ(str.GetBuffer(), pBefore);
    str.Append(str.GetBuffer());
    EXPECT_EQ(Text(str), "abcabc");
    str += strAlias;
    EXPECT_EQ(Text(str), "abcabcabcabc");
}

TEST(MyStringTest, SearchesMidAndComparison)
{
    const CMyString str("abcabc");
    const CMyString strEmpty;
    EXPECT_EQ(str.Find('b', 2), 4u);
    EXPECT_EQ(CMyString("abcde").Find('e', 5), MY_NOT_FOUND);
    EXPECT_EQ(CMyString("xABcD").FindNoCase("bCd"), 2u);
    EXPECT_EQ(str.ReverseFind('a'), 3u);

    // Mid never gives a shorter piece.
    EXPECT_EQ(Text(CMyString("abcd").Mid(1, 2)), "bc");
    EXPECT_EQ(CMyString("abcd").Mid(1, 0xFFFFFFFFu).GetBuffer(), nullptr); // start + count wraps

    EXPECT_EQ(CMyString("a").Compare(CMyString("c")), -1);   // the sign, not the distance
    EXPECT_EQ(CMyString("\xE9").Compare(CMyString("z")), 1); // bytes compare unsigned
    EXPECT_EQ(strEmpty.Compare(CMyString("a")), -1);
    EXPECT_FALSE(strEmpty.IsEqualNoCase(CMyString("0")));
    CMyString strLower("Hello WORLD 09_@[");
    EXPECT_EQ(strLower.MakeLower(), 17u);
    EXPECT_EQ(Text(strLower), "hello world 09_@[");
}

TEST(MyStringTest, Replace)
{
    CMyString str("aaaa");
    EXPECT_EQ(str.Replace("aa", "a"), 2u);
    EXPECT_EQ(Text(str), "aa");
    EXPECT_EQ(str.Replace("a", "aa"), 2u); // inserted text is not scanned again
    EXPECT_EQ(Text(str), "aaaa");
    EXPECT_TRUE(CapacityFitsBuffer(str));
    CMyString strGrow("x.y.z");
    EXPECT_EQ(strGrow.Replace(".", "<dot>"), 2u);
    EXPECT_EQ(Text(strGrow), "x<dot>y<dot>z");
    EXPECT_EQ(strGrow.GetMaxCount(), 13u); // grown to exactly the new length
    CMyString strRemove("abcabc");
    EXPECT_EQ(strRemove.Replace("b", nullptr), 2u);
    EXPECT_EQ(Text(strRemove), "acac");
    EXPECT_EQ(strRemove.Replace(nullptr, "y") + strRemove.Replace("", "y"), 0u);
    EXPECT_EQ(CMyString().Replace("a", "b"), 0u);
}

TEST(MyStringTest, DecodeXmlEntities)
{
    const auto Decoded = [](const char* pszText)
    {
        CMyString str(pszText);
        str.DecodeXmlEntities();
        return Text(str);
    };
    EXPECT_EQ(Decoded("&#0655;"), "A");    // only three digits are read
    EXPECT_EQ(Decoded("&#233;"), "\xE9");  // a single byte, not UTF-8
    EXPECT_EQ(Decoded("&#038;#65;"), "A"); // a decoded '&' starts a new entity
    EXPECT_EQ(Decoded("&#038;#038;#66;"), "B");
    EXPECT_EQ(Decoded("a&#000;b"), "ab");
    EXPECT_EQ(Decoded("a&#xyz;b&#x41;"), "ab");
    EXPECT_EQ(Decoded("&amp; &#65 x"), "& &#65 x"); // no ';' after "&#": left alone
    EXPECT_EQ(Decoded("&amp;lt;"), "<");
    EXPECT_EQ(Decoded("&lt;a href=&quot;x&quot;&gt;&apos;"), "<a href=\"x\">'");
}

TEST(MyStringTest, UrlEncode)
{
    EXPECT_EQ(Text(CMyString("a b+c").UrlEncode()), "a+b%2Bc");
    EXPECT_EQ(Text(CMyString("azAZ09\t").UrlEncode()), "azAZ09%09");
    EXPECT_EQ(Text(CMyString(".-_~\x80\xFF").UrlEncode()), "%2E%2D%5F%7E%80%FF");
    EXPECT_EQ(CMyString().UrlEncode().GetBuffer(), nullptr);
}

TEST(MyStringTest, AppendPath)
{
    const auto Joined = [](const char* pszBase, const char* pszPiece)
    {
        CMyString str(pszBase);
        str.AppendPath(CMyString(pszPiece));
        return Text(str);
    };
    EXPECT_EQ(Joined("dir", ""), "dir");
    EXPECT_EQ(Joined("C:\\dir", "f.txt"), "C:\\dir/f.txt"); // the slash is what gets added
    EXPECT_EQ(Joined("dir\\", "f.txt"), "dir\\f.txt");
    EXPECT_EQ(Joined("", "f.txt"), "f.txt");
    EXPECT_EQ(Joined("dir/", "\\f.txt"), "dir/f.txt");
    EXPECT_EQ(Joined("", "/f.txt"), "f.txt");
    EXPECT_EQ(Joined("dir", "\\f.txt"), "dir\\f.txt");
}

TEST(MyStringTest, ConversionToAndFromWide)
{
    const CMyString strUtf8("h\xC3\xA9");
    EXPECT_EQ(Wide(strUtf8, CODE_PAGE_SYSTEM), u"h\u00E9");
    EXPECT_EQ(Wide(CMyString("\xCF\xF0\xE8"), 1251), u"\u041F\u0440\u0438");
    EXPECT_EQ(Wide(CMyString("\x80\xE9"), 1252), u"\u20AC\u00E9");
    EXPECT_EQ(Wide(strUtf8, 12345), u"<null>");

    CMyString str("old");
    EXPECT_TRUE(str.AssignFromWide(u"\u041F\u0440\u0438\u0432\u0435\u0442", 1251));
    EXPECT_EQ(Text(str), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_TRUE(str.AssignFromWide(u"\u20AC", 1252));
    EXPECT_EQ(Text(str), "\x80");
    EXPECT_FALSE(str.AssignFromWide(u"x", 12345));
    EXPECT_FALSE(str.AssignFromWide(nullptr, CODE_PAGE_UTF8));
    EXPECT_EQ(str.GetBuffer(), nullptr);
}

TEST(MyStringWTest, CodePagesHashAndTruth)
{
    EXPECT_EQ(Text(CMyStringW(CMyString("\xCF\xF0\xE8"), 1251)), u"\u041F\u0440\u0438");
    EXPECT_EQ(Text(CMyStringW(u"\u041F\u0440\u0438").ToNarrow(1251)), "\xCF\xF0\xE8");
    EXPECT_EQ(CMyStringW::ConvertChar('\xBF', 1251), u'\u0457'); // below 192: the code page
    EXPECT_EQ(CMyStringW::ConvertChar('\xC0', 1251), u'\u00C0'); // from 192: the same value
    EXPECT_EQ(Text(CMyStringW(u"\u041F\u0440\u0438 \u0432").UrlEncode(1251)), u"%CF%F0%E8+%E2");

    // "hé" in UTF-8 is 68 C3 A9; the bytes count as signed.
    const uint32_t uExpected =
        (104u * 33u + static_cast<uint32_t>(-61)) * 33u + static_cast<uint32_t>(-87);
    EXPECT_EQ(CMyStringW(u"h\u00E9").Hash(), uExpected);
    EXPECT_FALSE(CMyStringW(u"0").IsTrue());
    EXPECT_TRUE(CMyStringW(u"00").IsTrue());
    EXPECT_TRUE(CMyStringW().IsTrue());
}

TEST(MyStringDeathTest, PreconditionsAreReported)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    const auto Report = [](const char* pszCondition)
    { return AssertionReport(pszCondition, "MyString"); };
    CMyString str("abc");
    EXPECT_DEATH(str.GetAt(3), Report("uIndex < m_uCount"));
    EXPECT_DEATH(str.SetAt(3, 'x'), Report("uIndex < m_uCount"));
    EXPECT_DEATH(CMyString().GetAt(0), Report("uIndex < m_uCount"));
    EXPECT_DEATH(str.SetLength(3), Report("(uLength == 0) || (uLength < m_uMaxCount)"));
    EXPECT_DEATH(str.FindNoCase(nullptr), Report("pType != NULL"));
    EXPECT_DEATH(CMyStringW(u"ab").GetAt(2), Report("uIndex < m_uCount"));
    str.SetAt(2, 'x'); // the allowed cases next to the failing ones
    CMyString().SetLength(0);
    EXPECT_EQ(str.GetAt(2), 'x');
}
