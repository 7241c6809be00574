#include "text/MyXmlDom.h"
#include "text/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

bool Load(CMyXmlDom& dom, const std::string& strText)
{
    return dom.LoadXml(CMyString(strText.c_str()));
}

// levels elements nested inside each other, the innermost holding "v".
std::string Nested(size_t uLevels)
{
    std::string strText;
    strText.reserve(uLevels * 7 + 1);
    for (size_t i = 0; i < uLevels; ++i)
        strText += "<E>";
    strText += "v";
    for (size_t i = 0; i < uLevels; ++i)
        strText += "</E>";
    return strText;
}

// Texts outside the accepted subset: each load fails on a fresh document and leaves a loaded
// document untouched.
struct MalformedCase
{
    const char* pName;
    const char* pText;
};

const MalformedCase kMalformed[] = {
    {"EmptyText", ""},
    {"WhiteSpaceOnly", " \t\r\n\v\f"},
    {"TextOnly", "just text"},
    {"MismatchedEndTag", "<A>x</B>"},
    {"UnclosedRoot", "<A>x"},
    {"UnclosedChild", "<A><B>x</A>"},
    {"EndTagFirst", "</A><A>x</A>"},
    {"MissingGreaterThan", "<A>x</A"},
    {"StartTagWithoutGreaterThan", "<A"},
    {"LoneLessThanAtEnd", "<A>x<"},
    {"EmptyStartTag", "<><A>x</A>"},
    {"EmptyEndTag", "<A>x</>"},
    {"TextWithoutFollowingTag", "<A><B>x</B>trailing"},
    {"XmlDeclaration", "<?xml version=\"1.0\"?><A>x</A>"},
    {"Comment", "<A><!-- note --><B>x</B></A>"},
    {"DocumentType", "<!DOCTYPE A><A>x</A>"},
    {"CData", "<A><![CDATA[x]]></A>"},
    {"AttributeNotRepeatedInEndTag", "<A id=\"1\">x</A>"},
    {"EmptyElementOnly", "<A/>"},
};

TEST(MyXmlDomTest, MalformedTextFailsAndKeepsTheOldRoot)
{
    for (const MalformedCase& malformed : kMalformed)
    {
        SCOPED_TRACE(malformed.pName);
        CMyXmlDom fresh;
        EXPECT_FALSE(Load(fresh, malformed.pText));
        EXPECT_EQ(fresh.GetRoot(), nullptr);

        CMyXmlDom dom;
        ASSERT_TRUE(Load(dom, "<OLD><KEEP>yes</KEEP></OLD>"));
        CXmlNode* pOld = dom.GetRoot();
        EXPECT_FALSE(Load(dom, malformed.pText));
        ASSERT_EQ(dom.GetRoot(), pOld);
        EXPECT_EQ(Str(pOld->GetName()), "OLD");
        EXPECT_EQ(Str(pOld->GetChildValue("KEEP")), "yes");
    }
}

TEST(MyXmlDomTest, LoadsElementsAndTextInDocumentOrder)
{
    CMyXmlDom dom;
    EXPECT_EQ(dom.GetRoot(), nullptr);
    ASSERT_TRUE(Load(dom, "<A><B>x</B></A>"));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(Str(pRoot->GetName()), "A");
    EXPECT_TRUE(pRoot->GetValue().IsEmpty());
    ASSERT_EQ(pRoot->GetChildCount(), 1);
    CXmlNode* pB = pRoot->GetChild(0);
    EXPECT_EQ(Str(pB->GetName()), "B");
    EXPECT_EQ(Str(pB->GetValue()), "x");
    EXPECT_EQ(pRoot->FindChild("b"), pB);

    ASSERT_TRUE(Load(dom, "<L><URL>a</URL><VERSION>1.2</VERSION><URL>b</URL><URL>c</URL></L>"));
    pRoot = dom.GetRoot();
    EXPECT_EQ(Str(pRoot->GetName()), "L");
    ASSERT_EQ(pRoot->GetChildCount(), 4);
    const char* pExpected[] = {"a", "1.2", "b", "c"};
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Str(pRoot->GetChild(i)->GetValue()), pExpected[i]) << "child " << i;
    EXPECT_EQ(pRoot->GetChild(-1), nullptr);
    EXPECT_EQ(pRoot->GetChild(4), nullptr);
}

TEST(MyXmlDomTest, EndTagsAndLookupsIgnoreCaseButNamesKeepIt)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A>x</a>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetName()), "A");
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "x");

    ASSERT_TRUE(Load(dom, "<Root><MixedCase>v</MIXEDCASE></rOOT>"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Str(pRoot->GetName()), "Root");
    EXPECT_EQ(Str(pRoot->GetChild(0)->GetName()), "MixedCase");
    EXPECT_EQ(Str(pRoot->GetChildValue("mixedcase")), "v");
    EXPECT_EQ(Str(pRoot->GetChildValue("MIXEDCASE")), "v");
    EXPECT_EQ(pRoot->FindChild("Mixed"), nullptr);
}

TEST(MyXmlDomTest, WholeTagTextIsTheNameWithSpacesAndAttributes)
{
    CMyXmlDom dom;
    // What looks like an attribute belongs to the name, and the end tag must repeat it.
    ASSERT_TRUE(Load(dom, "<A id=\"1\"><B x='2'/><C  d >t</c  D ></a ID=\"1\">"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Str(pRoot->GetName()), "A id=\"1\"");
    ASSERT_EQ(pRoot->GetChildCount(), 2);
    EXPECT_EQ(Str(pRoot->GetChild(0)->GetName()), "B x='2'");
    EXPECT_EQ(Str(pRoot->GetChild(1)->GetName()), "C  d ");
    EXPECT_EQ(pRoot->FindChild("B"), nullptr);
    EXPECT_EQ(pRoot->FindChild("C"), nullptr);
    EXPECT_EQ(Str(pRoot->GetChildValue("c  d ")), "t");
}

TEST(MyXmlDomTest, EmptyElementTags)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A><B/><C>c</C></A>"));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_EQ(pRoot->GetChildCount(), 2);
    CXmlNode* pB = pRoot->FindChild("b");
    ASSERT_EQ(pB, pRoot->GetChild(0));
    EXPECT_EQ(Str(pB->GetName()), "B");
    EXPECT_TRUE(pB->GetValue().IsEmpty());
    EXPECT_EQ(pB->GetChildCount(), 0);
    // A node from an empty-element tag has nothing to look up.
    EXPECT_EQ(pB->FindChild("B"), nullptr);
    EXPECT_EQ(pB->FindChild("C"), nullptr);
    EXPECT_TRUE(pB->GetChildValue("C").IsEmpty());
    EXPECT_EQ(pB->GetChild(0), nullptr);
    // Absent names, and grandchildren, are not found from the root.
    EXPECT_EQ(pRoot->FindChild("X"), nullptr);
    EXPECT_EQ(pRoot->FindChild(CMyString()), nullptr);
    EXPECT_TRUE(pRoot->GetChildValue("X").IsEmpty());

    // A space before the slash stays in the name.
    ASSERT_TRUE(Load(dom, "<A><B /></A>"));
    ASSERT_EQ(dom.GetRoot()->GetChildCount(), 1);
    EXPECT_EQ(Str(dom.GetRoot()->GetChild(0)->GetName()), "B ");
    EXPECT_EQ(dom.GetRoot()->FindChild("B"), nullptr);
    EXPECT_EQ(dom.GetRoot()->FindChild("b "), dom.GetRoot()->GetChild(0));
}

TEST(MyXmlDomTest, TextValueRules)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A> one two </A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "one two ");

    ASSERT_TRUE(Load(dom, "<A>\n\t value\n</A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "value\n");

    // The last run of text counts; text between child elements replaces earlier text.
    ASSERT_TRUE(Load(dom, "<A>x<B>y</B>z</A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "z");
    EXPECT_EQ(Str(dom.GetRoot()->GetChildValue("B")), "y");

    // White space alone between elements is no text: an indented container has no value.
    ASSERT_TRUE(Load(dom, "<A>\r\n  <B>y</B>\r\n  <C/>\r\n</A>"));
    EXPECT_TRUE(dom.GetRoot()->GetValue().IsEmpty());
    EXPECT_EQ(dom.GetRoot()->GetChildCount(), 2);
}

TEST(MyXmlDomTest, TextBeforeTheRootBecomesItsValueUntilReplaced)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "  preamble <A><B>y</B></A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetName()), "A");
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "preamble ");

    ASSERT_TRUE(Load(dom, "preamble<A>own</A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "own");
}

TEST(MyXmlDomTest, TextAfterTheRootIsNotLookedAt)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A>x</A></B><C>trailing text with no end <"));
    EXPECT_EQ(Str(dom.GetRoot()->GetName()), "A");
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "x");
    EXPECT_EQ(dom.GetRoot()->GetChildCount(), 0);

    ASSERT_TRUE(Load(dom, "<A>x</A><A>second</A>"));
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "x");
}

TEST(MyXmlDomTest, DuplicateChildrenAreAllCountedAndTheLastIsFound)
{
    CMyXmlDom dom;
    ASSERT_TRUE(
        Load(dom, "<A><C>1</C><D>d</D><c>2</c><CAPTION>x</CAPTION><Caption>y</Caption></A>"));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_EQ(pRoot->GetChildCount(), 5);
    EXPECT_EQ(pRoot->FindChild("C"), pRoot->GetChild(2));
    EXPECT_EQ(Str(pRoot->GetChildValue("c")), "2");
    EXPECT_EQ(Str(pRoot->GetChild(0)->GetValue()), "1");
    EXPECT_EQ(Str(pRoot->GetChildValue("caption")), "y");
    EXPECT_EQ(pRoot->FindChild("D"), pRoot->GetChild(1));
}

TEST(MyXmlDomTest, EntitiesAreDecodedInValuesButNotInNames)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A><T>Tom &amp; Jerry&#39;s</T><U>http://h/?a=1&amp;b=2</U>"
                          "<E>&lt;B&gt;&quot;&apos;&#65;&#65;</E><N&amp;M>v</N&amp;M></A>"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Str(pRoot->GetChildValue("T")), "Tom & Jerry's");
    EXPECT_EQ(Str(pRoot->GetChildValue("U")), "http://h/?a=1&b=2");
    // Decoded markup stays text: no element B appears.
    EXPECT_EQ(Str(pRoot->GetChildValue("E")), "<B>\"'AA");
    EXPECT_EQ(pRoot->GetChildCount(), 4);
    EXPECT_EQ(Str(pRoot->GetChild(3)->GetName()), "N&amp;M");
    EXPECT_EQ(Str(pRoot->GetChildValue("n&amp;m")), "v");
    EXPECT_EQ(pRoot->FindChild("N&M"), nullptr);
}

TEST(MyXmlDomTest, OnlyASuccessfulLoadReplacesTheRoot)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<FIRST>1</FIRST>"));
    ASSERT_TRUE(Load(dom, "<SECOND><X>2</X></SECOND>"));
    CXmlNode* pOld = dom.GetRoot();
    EXPECT_EQ(Str(pOld->GetName()), "SECOND");
    // Several complete children are built before the mismatch is seen.
    EXPECT_FALSE(Load(dom, "<NEW><A><B>1</B><C/></A><D>2</D><E><F>3</F></X></NEW>"));
    ASSERT_EQ(dom.GetRoot(), pOld);
    EXPECT_EQ(Str(pOld->GetChildValue("X")), "2");
}

TEST(MyXmlDomTest, NestingUpToTheDepthBoundLoads)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, Nested(CMyXmlDom::MAX_ELEMENT_DEPTH)));
    CXmlNode* pNode = dom.GetRoot();
    uint32_t uLevels = 1;
    while (pNode->GetChildCount() > 0)
    {
        ASSERT_EQ(pNode->GetChildCount(), 1);
        pNode = pNode->GetChild(0);
        ++uLevels;
    }
    EXPECT_EQ(uLevels, CMyXmlDom::MAX_ELEMENT_DEPTH);
    EXPECT_EQ(Str(pNode->GetValue()), "v");
}

TEST(MyXmlDomTest, NestingBeyondTheDepthBoundFailsCleanly)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<OLD>o</OLD>"));
    CXmlNode* pOld = dom.GetRoot();

    EXPECT_FALSE(Load(dom, Nested(CMyXmlDom::MAX_ELEMENT_DEPTH + 1)));
    EXPECT_EQ(dom.GetRoot(), pOld);

    // Far deeper than any stack could recurse: well-formed and left open.
    EXPECT_FALSE(Load(dom, Nested(300000)));
    EXPECT_EQ(dom.GetRoot(), pOld);
    std::string strOpen;
    for (int i = 0; i < 300000; ++i)
        strOpen += "<a>";
    EXPECT_FALSE(Load(dom, strOpen));
    EXPECT_EQ(dom.GetRoot(), pOld);
    EXPECT_EQ(Str(dom.GetRoot()->GetValue()), "o");
}

// Real files in a scratch folder of their own.
class XmlFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string strTemplate = ::testing::TempDir() + "orvanta-xml-XXXXXX";
        ASSERT_NE(mkdtemp(strTemplate.data()), nullptr);
        m_folder = strTemplate;
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }

    std::string Write(const std::string& strName, const std::string& strBytes)
    {
        std::filesystem::path path = m_folder / strName;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream file(path, std::ios::binary);
        file << strBytes;
        return path.string();
    }

    std::filesystem::path m_folder;
};

TEST_F(XmlFileTest, LoadFileReadsCrLfAsLf)
{
    const std::string strPath =
        Write("Skin/SkinInfo.xml", "<SKIN_INFO>\r\n  <COLORS>\r\n    <Dark>10,20,30</Dark>\r\n"
                                   "  </COLORS>\r\n  <NOTE>two\r\nlines\r\n</NOTE>\r\n"
                                   "</SKIN_INFO>\r\n");
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadFile(strPath.c_str()));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Str(pRoot->GetName()), "SKIN_INFO");
    ASSERT_NE(pRoot->FindChild("colors"), nullptr);
    EXPECT_EQ(Str(pRoot->FindChild("colors")->GetChildValue("dark")), "10,20,30");
    EXPECT_EQ(Str(pRoot->GetChildValue("NOTE")), "two\nlines\n");
}

TEST_F(XmlFileTest, LoadFilePassesBytesUnchangedAndAcceptsUtf8Paths)
{
    // UTF-8 captions and a folder name outside ASCII.
    const std::string strCaption = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";
    const std::string strPath =
        Write("\xC3\x84rger Ordner/list.xml", "<LIST><CAPTION>" + strCaption + "</CAPTION></LIST>");
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadFile(strPath.c_str()));
    EXPECT_EQ(Str(dom.GetRoot()->GetChildValue("CAPTION")), strCaption);
}

TEST_F(XmlFileTest, LoadFileFailsOnMissingOrMalformedFileAndKeepsTheRoot)
{
    CMyXmlDom dom;
    EXPECT_FALSE(dom.LoadFile((m_folder / "missing.xml").string().c_str()));
    EXPECT_EQ(dom.GetRoot(), nullptr);
    EXPECT_FALSE(dom.LoadFile(m_folder.string().c_str()));

    ASSERT_TRUE(dom.LoadFile(Write("good.xml", "<A>1</A>").c_str()));
    CXmlNode* pOld = dom.GetRoot();
    EXPECT_FALSE(dom.LoadFile((m_folder / "missing.xml").string().c_str()));
    EXPECT_FALSE(dom.LoadFile(Write("bad.xml", "<?xml version=\"1.0\"?>\r\n<A>1</A>").c_str()));
    EXPECT_FALSE(dom.LoadFile(Write("empty.xml", "").c_str()));
    EXPECT_EQ(dom.GetRoot(), pOld);
}

TEST_F(XmlFileTest, ReadTextFileAppendsAndConvertsLineEndsAcrossBlocks)
{
    // Lines of every length so that CR LF pairs and lone CRs fall on every offset, including
    // the boundaries of the blocks the file is read in.
    std::string strBytes;
    std::string strExpected;
    for (int i = 0; i < 3000; ++i)
    {
        const std::string strLine(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
        strBytes += strLine + (i % 5 == 0 ? "\rx\r\n" : "\r\n");
        strExpected += strLine + (i % 5 == 0 ? "\rx\n" : "\n");
    }
    strBytes += "\xFF\xFE tail";
    strExpected += "\xFF\xFE tail";

    CMyString strText("prefix:");
    ASSERT_TRUE(ReadTextFile(Write("lines.txt", strBytes).c_str(), strText));
    EXPECT_EQ(Str(strText), "prefix:" + strExpected);

    CMyString strUntouched("keep");
    EXPECT_FALSE(ReadTextFile((m_folder / "missing.txt").string().c_str(), strUntouched));
    EXPECT_EQ(Str(strUntouched), "keep");
    EXPECT_TRUE(ReadTextFile(Write("empty.txt", "").c_str(), strUntouched));
    EXPECT_EQ(Str(strUntouched), "keep");
}

} // namespace
