#include "text/MyXmlDom.h"
#include "config/FileHandler.h"

#include "TestSupport.h"
#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace
{

bool Load(CMyXmlDom& dom, const std::string& strText)
{
    return dom.LoadXml(CMyString(strText.c_str()));
}

// uLevels elements nested inside each other, the innermost holding "v".
std::string Nested(size_t uLevels)
{
    std::string strOpen, strClose;
    for (size_t i = 0; i < uLevels; ++i)
        strOpen += "<E>", strClose += "</E>";
    return strOpen + "v" + strClose;
}

TEST(MyXmlDomTest, MalformedTextFailsAndKeepsTheOldRoot)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<OLD><KEEP>yes</KEEP></OLD>"));
    CXmlNode* pOld = dom.GetRoot();
    // An end tag must repeat the whole start tag, and the last text builds several complete
    // children before the mismatch is seen.
    for (const char* pszText :
         {"", " \t\r\n", "just text", "<A>x</B>", "<A><B>x</A>", "<A>x</A", "<A><B>x</B>trailing",
          "<?xml version=\"1.0\"?><A>x</A>", "<A><!-- c --><B>x</B></A>", "<A id=\"1\">x</A>",
          "<A/>", "<NEW><A><B>1</B><C/></A><D>2</D><E><F>3</F></X></NEW>"})
        EXPECT_FALSE(Load(dom, pszText)) << pszText;
    EXPECT_EQ(dom.GetRoot(), pOld);
    EXPECT_EQ(Text(pOld->GetChildValue("KEEP")), "yes");
}

TEST(MyXmlDomTest, NamesAreTheWholeTagAndMatchIgnoringCase)
{
    CMyXmlDom dom;
    ASSERT_TRUE(Load(dom, "<L><URL>a</URL><VERSION>1.2</Version><url>b</url></l>"));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_EQ(pRoot->GetChildCount(), 3);
    EXPECT_EQ(Text(pRoot->GetChild(1)->GetName()), "VERSION"); // names keep their case
    EXPECT_EQ(Text(pRoot->GetChildValue("version")), "1.2");
    EXPECT_EQ(pRoot->FindChild("URL"), pRoot->GetChild(2)); // the last duplicate is found
    EXPECT_EQ(pRoot->FindChild("VERS"), nullptr);
    // What looks like an attribute belongs to the name, and the end tag must repeat it.
    ASSERT_TRUE(Load(dom, "<A id=\"1\"><B x='2'/><C  d >t</c  D ><E /></a ID=\"1\">"));
    pRoot = dom.GetRoot();
    EXPECT_EQ(Text(pRoot->GetName()), "A id=\"1\"");
    ASSERT_EQ(pRoot->GetChildCount(), 3);
    EXPECT_EQ(Text(pRoot->GetChild(0)->GetName()), "B x='2'");
    EXPECT_EQ(Text(pRoot->GetChildValue("c  d ")), "t");
    EXPECT_EQ(pRoot->FindChild("C"), nullptr);
    EXPECT_EQ(Text(pRoot->GetChild(2)->GetName()), "E ");  // a space before the slash stays
    EXPECT_TRUE(pRoot->GetChild(0)->GetValue().IsEmpty()); // an empty-element tag has no value
}

TEST(MyXmlDomTest, TextValueRules)
{
    // Leading white space is skipped; the last run of text counts; white space alone between
    // elements is no text; text before the root is its value until replaced; nothing after the
    // root is looked at.
    CMyXmlDom dom;
    for (const auto& [pszText, pszValue] :
         {std::pair{"<A>\n\t one two\n</A>", "one two\n"},
          {"<A>x<B>y</B>z</A>", "z"},
          {"<A>\r\n  <B>y</B>\r\n  <C/>\r\n</A>", ""},
          {"  preamble <A><B>y</B></A>", "preamble "},
          {"<A>x</A><A>second</A></B><C>trailing text with no end <", "x"}})
    {
        ASSERT_TRUE(Load(dom, pszText)) << pszText;
        EXPECT_EQ(Text(dom.GetRoot()->GetValue()), pszValue) << pszText;
    }
    EXPECT_EQ(dom.GetRoot()->GetChildCount(), 0);
    // Entities are decoded in values, not in names; decoded markup stays text.
    ASSERT_TRUE(Load(dom, "<A><E>&lt;B&gt;&amp;&#65;</E><N&amp;M>v</N&amp;M></A>"));
    EXPECT_EQ(Text(dom.GetRoot()->GetChildValue("E")), "<B>&A");
    EXPECT_EQ(dom.GetRoot()->GetChildCount(), 2);
    EXPECT_EQ(Text(dom.GetRoot()->GetChildValue("n&amp;m")), "v");
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
    EXPECT_FALSE(Load(dom, Nested(CMyXmlDom::MAX_ELEMENT_DEPTH + 1)));
    // Far deeper than any stack could recurse, closed and left open.
    const std::string strNested = Nested(300000);
    EXPECT_FALSE(Load(dom, strNested));
    EXPECT_FALSE(Load(dom, strNested.substr(0, strNested.find('v'))));
}

using XmlFileTest = ScratchHome;

TEST_F(XmlFileTest, LoadFileReadsTheTextOrFailsKeepingTheRoot)
{
    const std::string strCaption = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";
    Write("\xC3\x84rger Ordner/SkinInfo.xml",
          "<SKIN_INFO>\r\n  <COLORS>\r\n    <Dark>10,20,30</Dark>\r\n  </COLORS>\r\n<CAPTION>" +
              strCaption + "</CAPTION>\r\n</SKIN_INFO>\r\n");
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadFile(Path("\xC3\x84rger Ordner/SkinInfo.xml").c_str()));
    CXmlNode* pRoot = dom.GetRoot();
    ASSERT_NE(pRoot->FindChild("colors"), nullptr);
    EXPECT_EQ(Text(pRoot->FindChild("colors")->GetChildValue("dark")), "10,20,30");
    EXPECT_EQ(Text(pRoot->GetChildValue("CAPTION")), strCaption); // bytes pass unchanged
    // A missing or unreadable file fails and keeps the root.
    for (const char* pszName : {"missing.xml", ""})
        EXPECT_FALSE(dom.LoadFile(Path(pszName).c_str())) << pszName;
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
    Write("lines.txt", strBytes + "\xFF\xFE tail\r");
    CMyString strText("prefix:");
    ASSERT_TRUE(CFileHandler().ReadTextFile(Path("lines.txt").c_str(), strText));
    EXPECT_EQ(Text(strText), "prefix:" + strExpected + "\xFF\xFE tail\r");
    CMyString strUntouched("keep");
    EXPECT_FALSE(CFileHandler().ReadTextFile(Path("missing.txt").c_str(), strUntouched));
    EXPECT_EQ(Text(strUntouched), "keep");
}

} // namespace
