#include "text/MyXmlDom.h"
#include "config/FileHandler.h"

#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

bool Load(CMyXmlDom& dom, const std::string& strText)
{
    return dom.LoadXml(CMyString(strText.c_str()));
}

// levels elements nested inside each other, the innermost holding "v".
std::string Nested(size_t uLevels)
{
    std::string strText;
    for (size_t i = 0; i < uLevels; ++i)
        strText += "<E>";
    strText += "v";
    for (size_t i = 0; i < uLevels; ++i)
        strText += "</E>";
    return strText;
}

// Texts outside the accepted subset. An end tag must repeat the whole start tag, and the last
// text builds several complete children before the mismatch is seen.
const char* const kMalformed[] = {"",
                                  " \t\r\n",
                                  "just text",
                                  "<A>x</B>",
                                  "<A><B>x</A>",
                                  "<A>x</A",
                                  "<A><B>x</B>trailing",
                                  "<?xml version=\"1.0\"?><A>x</A>",
                                  "<A><!-- c --><B>x</B></A>",
                                  "<A id=\"1\">x</A>",
                                  "<A/>",
                                  "<NEW><A><B>1</B><C/></A><D>2</D><E><F>3</F></X></NEW>"};

TEST(MyXmlDomTest, MalformedTextFailsAndKeepsTheOldRoot)
{
    for (const char* pszText : kMalformed)
    {
        SCOPED_TRACE(pszText);
        CMyXmlDom fresh;
        EXPECT_FALSE(Load(fresh, pszText));
        EXPECT_EQ(fresh.GetRoot(), nullptr);
        CMyXmlDom dom;
        ASSERT_TRUE(Load(dom, "<OLD><KEEP>yes</KEEP></OLD>"));
        CXmlNode* pOld = dom.GetRoot();
        EXPECT_FALSE(Load(dom, pszText));
        ASSERT_EQ(dom.GetRoot(), pOld);
        EXPECT_EQ(Text(pOld->GetChildValue("KEEP")), "yes");
    }
}

TEST(MyXmlDomTest, ChildrenInDocumentOrderAndTheLastDuplicateIsFound)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<L><URL>a</URL><VERSION>1.2</Version><url>b</url></l>"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_TRUE(pRoot->GetValue().IsEmpty());
    ASSERT_EQ(pRoot->GetChildCount(), 3);
    EXPECT_EQ(Text(pRoot->GetChild(0)->GetValue()), "a");
    EXPECT_EQ(Text(pRoot->GetChild(1)->GetName()), "VERSION"); // names keep their case
    EXPECT_EQ(Text(pRoot->GetChildValue("version")), "1.2");
    EXPECT_EQ(pRoot->FindChild("URL"), pRoot->GetChild(2)); // names compare ignoring case
    EXPECT_EQ(pRoot->FindChild("VERS"), nullptr);
    EXPECT_EQ(pRoot->GetChild(-1), nullptr);
    EXPECT_EQ(pRoot->GetChild(3), nullptr);
}

TEST(MyXmlDomTest, WholeTagTextIsTheName)
{
    CMyXmlDom dom;
    // What looks like an attribute belongs to the name, and the end tag must repeat it.
    ASSERT_TRUE(Load(dom, "<A id=\"1\"><B x='2'/><C  d >t</c  D ><E /></a ID=\"1\">"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Text(pRoot->GetName()), "A id=\"1\"");
    ASSERT_EQ(pRoot->GetChildCount(), 3);
    EXPECT_EQ(Text(pRoot->GetChild(0)->GetName()), "B x='2'");
    EXPECT_EQ(Text(pRoot->GetChildValue("c  d ")), "t");
    EXPECT_EQ(pRoot->FindChild("C"), nullptr);
    EXPECT_EQ(Text(pRoot->GetChild(2)->GetName()), "E "); // a space before the slash stays
    // A node from an empty-element tag has no value and nothing to look up.
    CXmlNode* pB = pRoot->GetChild(0);
    EXPECT_TRUE(pB->GetValue().IsEmpty());
    EXPECT_EQ(pB->FindChild("B x='2'"), nullptr);
    EXPECT_EQ(pB->GetChild(0), nullptr);
}

TEST(MyXmlDomTest, TextValueRules)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A>\n\t one two\n</A>"));
    EXPECT_EQ(Text(dom.GetRoot()->GetValue()), "one two\n"); // leading white space skipped
    // The last run of text counts; text between child elements replaces earlier text.
    ASSERT_TRUE(Load(dom, "<A>x<B>y</B>z</A>"));
    EXPECT_EQ(Text(dom.GetRoot()->GetValue()), "z");
    // White space alone between elements is no text: an indented container has no value.
    ASSERT_TRUE(Load(dom, "<A>\r\n  <B>y</B>\r\n  <C/>\r\n</A>"));
    EXPECT_TRUE(dom.GetRoot()->GetValue().IsEmpty());
    // Text before the root becomes its value until replaced.
    ASSERT_TRUE(Load(dom, "  preamble <A><B>y</B></A>"));
    EXPECT_EQ(Text(dom.GetRoot()->GetValue()), "preamble ");
}

TEST(MyXmlDomTest, TextAfterTheRootIsNotLookedAt)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A>x</A></B><C>trailing text with no end <"));
    EXPECT_EQ(Text(dom.GetRoot()->GetValue()), "x");
    EXPECT_EQ(dom.GetRoot()->GetChildCount(), 0);
    ASSERT_TRUE(Load(dom, "<A>x</A><A>second</A>"));
    EXPECT_EQ(Text(dom.GetRoot()->GetValue()), "x");
}

TEST(MyXmlDomTest, EntitiesAreDecodedInValuesButNotInNames)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<A><E>&lt;B&gt;&amp;&#65;</E><N&amp;M>v</N&amp;M></A>"));
    CXmlNode* pRoot = dom.GetRoot();
    EXPECT_EQ(Text(pRoot->GetChildValue("E")), "<B>&A"); // decoded markup stays text
    EXPECT_EQ(pRoot->GetChildCount(), 2);
    EXPECT_EQ(Text(pRoot->GetChildValue("n&amp;m")), "v");
}

TEST(MyXmlDomTest, NestingDepthIsBounded)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, Nested(CMyXmlDom::MAX_ELEMENT_DEPTH)));
    CXmlNode* pNode = dom.GetRoot();
    uint32_t uLevels = 1;
    for (; pNode->GetChildCount() == 1; ++uLevels)
        pNode = pNode->GetChild(0);
    EXPECT_EQ(uLevels, CMyXmlDom::MAX_ELEMENT_DEPTH);
    EXPECT_EQ(Text(pNode->GetValue()), "v");
    ASSERT_TRUE(Load(dom, "<OLD>o</OLD>"));
    CXmlNode* pOld = dom.GetRoot();
    EXPECT_FALSE(Load(dom, Nested(CMyXmlDom::MAX_ELEMENT_DEPTH + 1)));
    // Far deeper than any stack could recurse, closed and left open.
    EXPECT_FALSE(Load(dom, Nested(300000)));
    std::string strOpen;
    for (int i = 0; i < 300000; ++i)
        strOpen += "<a>";
    EXPECT_FALSE(Load(dom, strOpen));
    EXPECT_EQ(dom.GetRoot(), pOld);
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
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string Write(const std::string& strName, const std::string& strBytes)
    {
        std::filesystem::path path = m_folder / strName;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << strBytes;
        return path.string();
    }

    std::filesystem::path m_folder;
};

TEST_F(XmlFileTest, LoadFileReadsCrLfAsLfOrFailsKeepingTheRoot)
{
    const std::string strCaption = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";
    const std::string strPath =
        Write("\xC3\x84rger Ordner/SkinInfo.xml",
              "<SKIN_INFO>\r\n  <COLORS>\r\n    <Dark>10,20,30</Dark>\r\n"
              "  </COLORS>\r\n  <NOTE>two\r\nlines\r\n</NOTE>\r\n<CAPTION>" +
                  strCaption + "</CAPTION>\r\n</SKIN_INFO>\r\n");
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadFile(strPath.c_str()));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_NE(pRoot->FindChild("colors"), nullptr);
    EXPECT_EQ(Text(pRoot->FindChild("colors")->GetChildValue("dark")), "10,20,30");
    EXPECT_EQ(Text(pRoot->GetChildValue("NOTE")), "two\nlines\n");
    EXPECT_EQ(Text(pRoot->GetChildValue("CAPTION")), strCaption); // bytes pass unchanged

    // A missing, unreadable or malformed file fails and keeps the root.
    EXPECT_FALSE(dom.LoadFile((m_folder / "missing.xml").string().c_str()));
    EXPECT_FALSE(dom.LoadFile(m_folder.string().c_str())); // a folder
    EXPECT_FALSE(dom.LoadFile(Write("bad.xml", "<?xml version=\"1.0\"?>\r\n<A>1</A>").c_str()));
    EXPECT_FALSE(dom.LoadFile(Write("empty.xml", "").c_str()));
    EXPECT_EQ(dom.GetRoot(), pRoot);
}

TEST_F(XmlFileTest, ReadTextFileAppendsAndConvertsLineEndsAcrossBlocks)
{
    // Lines of every length so that CR LF pairs and lone CRs fall on every offset, including
    // the boundaries of the blocks the file is read in.
    std::string strBytes, strExpected;
    for (int i = 0; i < 3000; ++i)
    {
        const std::string strLine(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
        strBytes += strLine + (i % 5 == 0 ? "\rx\r\n" : "\r\n");
        strExpected += strLine + (i % 5 == 0 ? "\rx\n" : "\n");
    }
    strBytes += "\xFF\xFE tail\r";
    strExpected += "\xFF\xFE tail\r";
    CMyString strText("prefix:");
    ASSERT_TRUE(CFileHandler().ReadTextFile(Write("lines.txt", strBytes).c_str(), strText));
    EXPECT_EQ(Text(strText), "prefix:" + strExpected);
    CMyString strUntouched("keep");
    EXPECT_FALSE(
        CFileHandler().ReadTextFile((m_folder / "missing.txt").string().c_str(), strUntouched));
    EXPECT_TRUE(CFileHandler().ReadTextFile(Write("empty.txt", "").c_str(), strUntouched));
    EXPECT_EQ(Text(strUntouched), "keep");
}

} // namespace
