#include "text/MyString.h"

#include <QString>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>
#include <memory>
#include <string>

namespace
{
// The text of a string; a length that disagrees with the terminator shows up in the result.
std::string Text(const CMyString& str)
{
    if (str.GetBuffer() == nullptr)
        return str.GetLength() == 0 ? "" : "<no buffer but a length>";
    std::string strText(str.GetBuffer());
    if (strText.size() != str.GetLength())
        strText += "<length " + std::to_string(str.GetLength()) + ">";
    return strText;
}

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

// The report of a failed precondition, as a pattern for EXPECT_DEATH.
std::string AssertionReport(const char* pszCondition)
{
    std::string strPattern = "Assertion failed: ";
    for (const char* p = pszCondition; *p != '\0'; ++p)
    {
        if (std::strchr("\\^$.|?*+()[]{}", *p) != nullptr)
            strPattern += '\\';
        strPattern += *p;
    }
    return strPattern + ", file MyString, line [0-9]+";
}
} // namespace

TEST(MyStringTest, EmptyStringsHaveNoBuffer)
{
    const CMyString strNull(static_cast<const char*>(nullptr));
    const CMyString strBlank("");
    for (const CMyString* pStr : {&strNull, &strBlank})
    {
        EXPECT_EQ(pStr->GetBuffer(), nullptr);
        EXPECT_TRUE(pStr->IsEmpty());
        EXPECT_EQ(pStr->GetMaxCount(), 0u);
    }
    CMyString str("abc");
    str = strBlank;
    EXPECT_EQ(str.GetBuffer(), nullptr);
    str = "x";
    str.Empty();
    EXPECT_EQ(str.GetBuffer(), nullptr);
    EXPECT_EQ(CMyString(QString()).GetBuffer(), nullptr);
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
    EXPECT_EQ(Text(str), "abc");
    EXPECT_TRUE(CapacityFitsBuffer(str));
    str.AppendChar('d'); // room enough: no reallocation
    EXPECT_EQ(str.GetMaxCount(), 10u);

    CMyString strChars;
    for (char c : std::string("hello"))
        strChars += c;
    EXPECT_EQ(Text(strChars), "hello");
    EXPECT_EQ(strChars.GetMaxCount(), 5u); // reallocated to the exact size at every character

    CMyString strText;
    strText.Append("ab");
    EXPECT_EQ(strText.GetMaxCount(), 2u);
    strText += "cde";
    EXPECT_EQ(Text(strText), "abcde");
    EXPECT_EQ(strText.GetMaxCount(), 5u);
    strText.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ(Text(strText), "abcde");

    const CMyString strCopy(str); // copies are exactly as long as the text
    EXPECT_EQ(strCopy.GetMaxCount(), 4u);
    CMyString strAssigned;
    strAssigned = str;
    EXPECT_EQ(Text(strAssigned), "abcd");
    EXPECT_EQ(strAssigned.GetMaxCount(), 4u);
    EXPECT_NE(strAssigned.GetBuffer(), str.GetBuffer());
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
    str.SetLength(0);
    EXPECT_TRUE(str.IsEmpty());
    EXPECT_NE(str.GetBuffer(), nullptr);
    CMyString strEmpty;
    strEmpty.SetLength(0); // allowed without a buffer
    EXPECT_EQ(strEmpty.GetBuffer(), nullptr);
}

TEST(MyStringTest, SelfAssignmentAndSelfAppend)
{
    CMyString str("abc");
    const char* pBefore = str.GetBuffer();
    CMyString& strAlias = str;
    str = strAlias;
    str.Assign(strAlias);
    EXPECT_EQ(str.GetBuffer(), pBefore);
    EXPECT_EQ(Text(str), "abc");

    str.Append(str.GetBuffer());
    EXPECT_EQ(Text(str), "abcabc");
    str += strAlias;
    EXPECT_EQ(Text(str), "abcabcabcabc");
}

TEST(MyStringTest, FindAndMid)
{
    const CMyString str("abcabc");
    const CMyString strEmpty;
    EXPECT_EQ(str.Find('b'), 1u);
    EXPECT_EQ(strEmpty.Find('a'), MY_NOT_FOUND);
    EXPECT_EQ(str.Find('b', 2), 4u);
    EXPECT_EQ(CMyString("abc").Find('c', 1), 2u);
    EXPECT_EQ(CMyString("abcde").Find('e', 5), MY_NOT_FOUND);
    EXPECT_EQ(strEmpty.Find('a', 0), MY_NOT_FOUND);
    EXPECT_EQ(str.Find("ca"), 2u);
    EXPECT_EQ(str.Find("cb"), MY_NOT_FOUND);
    EXPECT_EQ(strEmpty.Find("a"), MY_NOT_FOUND);
    EXPECT_EQ(CMyString("xABcD").FindNoCase("bCd"), 2u);
    EXPECT_EQ(strEmpty.FindNoCase("a"), MY_NOT_FOUND);
    EXPECT_EQ(str.ReverseFind('a'), 3u);
    EXPECT_EQ(strEmpty.ReverseFind('a'), MY_NOT_FOUND);

    // Mid never gives a shorter piece.
    const CMyString strFour("abcd");
    EXPECT_EQ(Text(strFour.Mid(1, 2)), "bc");
    EXPECT_EQ(Text(strFour.Mid(0, 4)), "abcd");
    EXPECT_EQ(strFour.Mid(2, 3).GetBuffer(), nullptr);
    EXPECT_EQ(strFour.Mid(5, 0).GetBuffer(), nullptr);
    EXPECT_EQ(strFour.Mid(1, 0xFFFFFFFFu).GetBuffer(), nullptr); // start + count wraps around
}

TEST(MyStringTest, CaseAndComparison)
{
    CMyString str("Hello WORLD 09_@[");
    EXPECT_EQ(str.MakeLower(), 17u);
    EXPECT_EQ(Text(str), "hello world 09_@[");

    const CMyString strEmpty;
    const CMyString strA("a");
    EXPECT_EQ(strEmpty.Compare(strA), -1);
    EXPECT_EQ(strA.Compare(strEmpty), 1);
    EXPECT_EQ(strEmpty.Compare(CMyString("")), 0);
    EXPECT_FALSE(strEmpty.IsEqual(CMyString("0")));
    EXPECT_EQ(strA.Compare(CMyString("c")), -1);             // the sign only, not the distance
    EXPECT_EQ(CMyString("\xE9").Compare(CMyString("z")), 1); // bytes compare unsigned
    EXPECT_EQ(CMyString("ab").Compare(CMyString("abc")), -1);
    EXPECT_FALSE(CMyString("abc").IsEqual(CMyString("ABC")));

    EXPECT_EQ(CMyString("ABC").CompareNoCase(CMyString("abc")), 0);
    EXPECT_EQ(CMyString("ABC").CompareNoCase(CMyString("abd")), -1);
    EXPECT_EQ(strA.CompareNoCase(strEmpty), 1);
    EXPECT_FALSE(strEmpty.IsEqualNoCase(CMyString("0")));

    EXPECT_EQ(strEmpty.ToInt(), 0);
    EXPECT_EQ(CMyString("  -17px").ToInt(), -17);
    EXPECT_EQ(CMyString("abc").ToInt(), 0);
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
    CMyString strOverlap("aaa");
    EXPECT_EQ(strOverlap.Replace("aa", "b"), 1u);
    EXPECT_EQ(Text(strOverlap), "ba");
    CMyString strRemove("abcabc");
    EXPECT_EQ(strRemove.Replace("b", nullptr), 2u);
    EXPECT_EQ(Text(strRemove), "acac");
    EXPECT_EQ(strRemove.Replace("ac", ""), 2u);
    EXPECT_TRUE(strRemove.IsEmpty());

    CMyString strSame("abc");
    EXPECT_EQ(strSame.Replace("z", "y") + strSame.Replace(nullptr, "y") + strSame.Replace("", "y"),
              0u);
    EXPECT_EQ(Text(strSame), "abc");
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
    EXPECT_EQ(Decoded("Tom &amp; Jerry&#39;s"), "Tom & Jerry's");
    EXPECT_EQ(Decoded("&#65;&#65;"), "AA");
    EXPECT_EQ(Decoded("&#039;x&#039;"), "'x'");
    EXPECT_EQ(Decoded("&#0655;"), "A");    // only three digits are read
    EXPECT_EQ(Decoded("&#321;"), "A");     // truncated to 8 bits
    EXPECT_EQ(Decoded("&#233;"), "\xE9");  // a single byte, not UTF-8
    EXPECT_EQ(Decoded("&#038;#65;"), "A"); // a decoded '&' starts a new entity
    EXPECT_EQ(Decoded("&#038;#038;#66;"), "B");
    EXPECT_EQ(Decoded("a&#000;b"), "ab");
    EXPECT_EQ(Decoded("a&#xyz;b&#x41;"), "ab");
    EXPECT_EQ(Decoded("a&#9;b"), "a\tb");
    EXPECT_EQ(Decoded("a&#;b"), "ab");
    EXPECT_EQ(Decoded("&#65 x &amp;"), "A");        // the entity runs to the next ';'
    EXPECT_EQ(Decoded("&amp; &#65 x"), "& &#65 x"); // no ';' after "&#": left alone
    EXPECT_EQ(Decoded("&amp;lt;"), "<");
    EXPECT_EQ(Decoded("&lt;a href=&quot;x&quot;&gt;&apos;"), "<a href=\"x\">'");
    EXPECT_EQ(Decoded("plain; text & more"), "plain; text & more");
}

TEST(MyStringTest, UrlEncode)
{
    EXPECT_EQ(Text(CMyString("a b+c").UrlEncode()), "a+b%2Bc");
    EXPECT_EQ(Text(CMyString("azAZ09").UrlEncode()), "azAZ09");
    EXPECT_EQ(Text(CMyString("\t").UrlEncode()), "%09");
    EXPECT_EQ(Text(CMyString(".-_~").UrlEncode()), "%2E%2D%5F%7E");
    EXPECT_EQ(Text(CMyString("\x80\xE9\xFF").UrlEncode()), "%80%E9%FF");
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
    EXPECT_EQ(Joined("dir/sub", "f.txt"), "dir/sub/f.txt");
    EXPECT_EQ(Joined("dir\\", "f.txt"), "dir\\f.txt");
    EXPECT_EQ(Joined("C:\\dir", "f.txt"), "C:\\dir/f.txt"); // the slash is what gets added
    EXPECT_EQ(Joined("", "f.txt"), "f.txt");
    EXPECT_EQ(Joined("dir\\", "\\f.txt"), "dir\\f.txt");
    EXPECT_EQ(Joined("dir/", "\\f.txt"), "dir/f.txt");
    EXPECT_EQ(Joined("", "/f.txt"), "f.txt");
    EXPECT_EQ(Joined("dir", "/f.txt"), "dir/f.txt");
    EXPECT_EQ(Joined("dir", "\\f.txt"), "dir\\f.txt");
}

TEST(MyStringTest, ConversionToAndFromWide)
{
    const CMyString strUtf8("h\xC3\xA9");
    EXPECT_EQ(Wide(strUtf8, CODE_PAGE_UTF8), u"h\u00E9");
    EXPECT_EQ(Wide(strUtf8, CODE_PAGE_SYSTEM), u"h\u00E9");
    EXPECT_EQ(Wide(CMyString("\xCF\xF0\xE8"), 1251), u"\u041F\u0440\u0438");
    EXPECT_EQ(Wide(CMyString("\x80\xE9"), 1252), u"\u20AC\u00E9");
    EXPECT_EQ(Wide(strUtf8, 12345), u"<null>");
    EXPECT_EQ(Wide(CMyString(), CODE_PAGE_UTF8), u"<null>");
    for (const char* pszBroken : {"\xC3", "\xFF\xFE", "a\xC3(b", "\xE2\x82"})
    {
        const std::u16string strWide = Wide(CMyString(pszBroken), CODE_PAGE_UTF8);
        EXPECT_TRUE(strWide == u"<null>" || strWide.size() <= std::strlen(pszBroken));
    }

    CMyString str("old");
    EXPECT_TRUE(str.AssignFromWide(u"\u041F\u0440\u0438\u0432\u0435\u0442", 1251));
    EXPECT_EQ(Text(str), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(str.GetMaxCount(), 6u);
    EXPECT_TRUE(str.AssignFromWide(u"\u20AC", 1252));
    EXPECT_EQ(Text(str), "\x80");
    EXPECT_TRUE(str.AssignFromWide(u"h\u00E9", CODE_PAGE_UTF8));
    EXPECT_EQ(Text(str), "h\xC3\xA9");
    EXPECT_TRUE(str.AssignFromWide(u"\u041F"));
    EXPECT_EQ(Text(str), "\xD0\x9F");
    EXPECT_FALSE(str.AssignFromWide(u"x", 12345));
    EXPECT_FALSE(str.AssignFromWide(nullptr, CODE_PAGE_UTF8));
    EXPECT_EQ(str.GetBuffer(), nullptr);
    str = "old";
    EXPECT_FALSE(str.AssignFromWide(u""));
    EXPECT_EQ(str.GetBuffer(), nullptr);
}

TEST(MyStringWTest, ConversionsByCodePage)
{
    EXPECT_EQ(Text(CMyStringW(CMyString("h\xC3\xA9"))), u"h\u00E9");
    EXPECT_EQ(Text(CMyStringW(CMyString("\xCF\xF0\xE8"), 1251)), u"\u041F\u0440\u0438");
    EXPECT_EQ(CMyStringW(CMyString()).GetBuffer(), nullptr);
    const CMyStringW strCyrillic(u"\u041F\u0440\u0438");
    EXPECT_EQ(Text(strCyrillic.ToNarrow(1251)), "\xCF\xF0\xE8");
    EXPECT_EQ(Text(strCyrillic.ToNarrow(CODE_PAGE_UTF8)), "\xD0\x9F\xD1\x80\xD0\xB8");
    EXPECT_EQ(CMyStringW().ToNarrow(CODE_PAGE_UTF8).GetBuffer(), nullptr);

    EXPECT_EQ(CMyStringW::ConvertChar('A', 1251), u'A');
    EXPECT_EQ(CMyStringW::ConvertChar('\xBF', 1251), u'\u0457'); // below 192: the code page
    EXPECT_EQ(CMyStringW::ConvertChar('\x80', 1252), u'\u20AC');
    EXPECT_EQ(CMyStringW::ConvertChar('\xC0', 1251), u'\u00C0'); // from 192: the same value

    EXPECT_EQ(Text(CMyStringW(u"\u041F\u0440\u0438 \u0432").UrlEncode(1251)), u"%CF%F0%E8+%E2");
    EXPECT_EQ(Text(CMyStringW(u"\u00E9.").UrlEncode(CODE_PAGE_UTF8)), u"%C3%A9%2E");
    EXPECT_EQ(CMyStringW().UrlEncode(CODE_PAGE_UTF8).GetBuffer(), nullptr);
}

TEST(MyStringWTest, HashTruthAndComparison)
{
    EXPECT_EQ(CMyStringW().Hash(), 0u);
    // "hé" in UTF-8 is 68 C3 A9; the bytes count as signed.
    const uint32_t uExpected =
        (104u * 33u + static_cast<uint32_t>(-61)) * 33u + static_cast<uint32_t>(-87);
    EXPECT_EQ(CMyStringW(u"h\u00E9").Hash(), uExpected);

    EXPECT_FALSE(CMyStringW(u"0").IsTrue());
    EXPECT_TRUE(CMyStringW(u"00").IsTrue());
    EXPECT_TRUE(CMyStringW().IsTrue());

    const CMyStringW strEmpty;
    EXPECT_EQ(strEmpty.Compare(CMyStringW(u"a")), -1);
    EXPECT_EQ(CMyStringW(u"a").Compare(strEmpty), 1);
    EXPECT_EQ(strEmpty.Compare(CMyStringW(u"")), 0);
    EXPECT_EQ(CMyStringW(u"\u0430").Compare(CMyStringW(u"z")), 1);
    EXPECT_EQ(CMyStringW(u"ABC").CompareNoCase(CMyStringW(u"abc")), 0);
    EXPECT_FALSE(strEmpty.IsEqual(CMyStringW(u"0")));
    EXPECT_EQ(CMyStringW(u"abcabc").Find(u'c', 3), 5u);
    EXPECT_EQ(CMyStringW(u"xABc").FindNoCase(u"bC"), 2u);
    EXPECT_EQ(CMyStringW(u"abcd").Mid(2, 3).GetBuffer(), nullptr);
}

TEST(MyStringDeathTest, PreconditionsAreReported)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    CMyString str("abc");
    EXPECT_DEATH(str.GetAt(3), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(str.SetAt(3, 'x'), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(CMyString().GetAt(0), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(str.SetLength(3), AssertionReport("(uLength == 0) || (uLength < m_uMaxCount)"));
    EXPECT_DEATH(str.FindNoCase(nullptr), AssertionReport("pType != NULL"));
    EXPECT_DEATH(CMyStringW(u"ab").GetAt(2), AssertionReport("uIndex < m_uCount"));
    str.SetAt(2, 'x'); // the allowed cases next to the failing ones
    EXPECT_EQ(str.GetAt(2), 'x');
}
