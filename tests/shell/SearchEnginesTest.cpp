#include "shell/SearchEngines.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "text/MyXmlDom.h"
#include "text/TextTestSupport.h"

TEST(SearchEngineQuery, BuildsAddressesFromTemplateTextAndCharacterSet)
{
    auto Query = [](const char* pszPrefix, const char* pszTerm, const char* pszText,
                    const char* pszCharset = "", const char* pszEmptyUrl = "")
    {
        CSearchEngine engine;
        engine.m_strPrefix = pszPrefix;
        engine.m_strTermToReplace = pszTerm;
        engine.m_strInputCharset = pszCharset;
        engine.m_strEmptySearchUrl = pszEmptyUrl;
        return Text(engine.BuildQuery(pszText));
    };
    EXPECT_EQ(Query("q=TERM&x=TERM", "TERM", "a b.+"), "q=a+b%2E%2B&x=a+b%2E%2B");
    // No template: the encoded text alone. No or an absent placeholder: the template as is.
    EXPECT_EQ(Query("", "TERM", "a b"), "a+b");
    EXPECT_EQ(Query("http://s/?q=", "", "a"), "http://s/?q=");
    EXPECT_EQ(Query("http://s/?q=X", "TERM", "a"), "http://s/?q=X");
    // An empty text opens the engine's empty-search address, or nothing.
    EXPECT_EQ(Query("q=TERM", "TERM", "", "", "http://home/"), "http://home/");
    EXPECT_EQ(Query("q=TERM", "TERM", ""), "");
    // The engine's character set; an unknown one, or one whose bytes hold NULs, gives UTF-8.
    const char* pszCyrillic = "\xD0\x9C\xD0\xB8\xD1\x80 1"; // "Мир 1" in UTF-8
    EXPECT_EQ(Query("q=TERM", "TERM", pszCyrillic), "q=%D0%9C%D0%B8%D1%80+1");
    EXPECT_EQ(Query("q=TERM", "TERM", pszCyrillic, "windows-1251"), "q=%CC%E8%F0+1");
    EXPECT_EQ(Query("q=TERM", "TERM", pszCyrillic, "no-such-charset"), "q=%D0%9C%D0%B8%D1%80+1");
    EXPECT_EQ(Query("q=TERM", "TERM", "a", "UTF-16LE"), "q=a");
}

TEST(SearchEngineList, NumbersEntriesAndSkipsEnginesWithoutChildren)
{
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadXml("<L><search_engine><CAPTION>One</CAPTION><caption>Uno</caption>"
                            "<PREFIX>http://a/?q=%s&amp;l=1</PREFIX></search_engine>"
                            "<OTHER><CAPTION>x</CAPTION></OTHER><SEARCH_ENGINE></SEARCH_ENGINE>"
                            "<Separator>ignored</Separator><SEARCH_ENGINE><CAPTION>Two</CAPTION>"
                            "<INPUT_CHARSET>koi8-r</INPUT_CHARSET></SEARCH_ENGINE></L>"));
    CSearchEngines engines;
    ASSERT_TRUE(engines.LoadEngines(dom.GetRoot(), EEngineLoad::Inspect));
    ASSERT_EQ(engines.GetCount(), 3);
    EXPECT_EQ(engines.GetEngine(2)->m_nId, 3);
    EXPECT_EQ(Text(engines.GetEngine(0)->m_strCaption), "Uno");
    EXPECT_EQ(Text(engines.GetEngine(0)->m_strPrefix), "http://a/?q=%s&l=1");
    EXPECT_EQ(engines.GetEngine(1)->m_bSeparator, 1);
    EXPECT_EQ(Text(engines.GetEngine(2)->m_strInputCharset), "koi8-r");
    EXPECT_EQ(engines.GetEngine(3), nullptr);
    EXPECT_EQ(engines.GetEngine(-1), nullptr);
    // A list naming no entry leaves the loaded one; one whose entries all fail empties it.
    ASSERT_TRUE(dom.LoadXml("<L><OTHER/></L>"));
    EXPECT_FALSE(engines.LoadEngines(dom.GetRoot(), EEngineLoad::Inspect));
    EXPECT_EQ(engines.GetCount(), 3);
    ASSERT_TRUE(dom.LoadXml("<L><SEARCH_ENGINE></SEARCH_ENGINE></L>"));
    EXPECT_FALSE(engines.LoadEngines(dom.GetRoot(), EEngineLoad::Inspect));
    EXPECT_EQ(engines.GetCount(), 0);
    EXPECT_FALSE(engines.LoadEngines(nullptr));
}

using SearchEngineSettingsFile = ScratchHome;

TEST_F(SearchEngineSettingsFile, ProgramLoadFetchesEachIconOnceAndABrokenFileGivesAnEmptyList)
{
    const auto writeSettings = [this](const std::string& strText)
    { Write("data/ORVANTA/res/SearchSettings.txt", CFileHandler::Scramble(strText)); };
    const auto load = [](CSearchEngines& engines, EEngineLoad eLoad = EEngineLoad::Program)
    { return LoadSearchSettings(Settings().GetResFolder(), engines, eLoad); };
    CSearchEngines none;
    EXPECT_FALSE(load(none)); // no file
    const std::string strIconBytes("GIF89a\0\x01", 8);
    std::unique_ptr<CListServer> pServer(new CListServer({{"icon.gif", strIconBytes}}));
    const std::string strIconUrl = pServer->Url() + "icon.gif";
    const std::string strMissingUrl = pServer->Url() + "missing.gif";
    writeSettings(
        "<SEARCH><VERSION>7.2</VERSION><LIST_OF_SEARCH_ENGINES><SEARCH_ENGINE><IMAGE_URL>" +
        strIconUrl + "</IMAGE_URL></SEARCH_ENGINE><SEARCH_ENGINE><IMAGE_URL>" + strMissingUrl +
        "</IMAGE_URL></SEARCH_ENGINE></LIST_OF_SEARCH_ENGINES></SEARCH>");
    // Inspecting asks no server, records nothing and keeps the addresses as written.
    CSearchEngines inspected;
    ASSERT_TRUE(load(inspected, EEngineLoad::Inspect));
    EXPECT_EQ(Text(inspected.GetEngine(1)->m_strImagePath), strMissingUrl);
    EXPECT_TRUE(pServer->Requests().empty());
    EXPECT_EQ(Text(Settings().GetSearchSettingsVersion()), "");
    CSearchEngines engines;
    ASSERT_TRUE(load(engines));
    EXPECT_EQ(Text(engines.GetEngine(0)->m_strImagePath),
              Text(Settings().GetIconFilePath(strIconUrl.c_str())));
    EXPECT_TRUE(engines.GetEngine(1)->m_strImagePath.IsEmpty());
    EXPECT_EQ(Text(Settings().GetSearchSettingsVersion()), "7.2");
    pServer.reset();
    const CMyString strIcon = Settings().GetIconFilePath(strIconUrl.c_str());
    EXPECT_EQ(Read(strIcon.GetBuffer() + m_strRoot.size()), strIconBytes);
    EXPECT_FALSE(CFileHandler().FileExists(Settings().GetIconFilePath(strMissingUrl.c_str())));
    // The server is gone: the next start takes the stored icon without asking.
    CSearchEngines again;
    ASSERT_TRUE(load(again));
    EXPECT_EQ(Text(again.GetEngine(0)->m_strImagePath), Text(strIcon));
    EXPECT_TRUE(again.GetEngine(1)->m_strImagePath.IsEmpty());
    // A broken file gives an empty list.
    for (const char* pszText : {"<SEARCH><LIST_OF_SEARCH_ENGINES><SEARCH_ENGINE>",
                                "<SEARCH><VERSION>1</VERSION></SEARCH>", "plain words"})
    {
        writeSettings(pszText);
        EXPECT_FALSE(load(none)) << pszText;
        EXPECT_EQ(none.GetCount(), 0) << pszText;
    }
}
