#include "directory/StationDirectory.h"

#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "platform/WindowMessage.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>

namespace
{

// Counts the reports of finished icon downloads.
class CDownloadReceiver : public QObject
{
public:
    bool event(QEvent* pEvent) override
    {
        if (CWindowMessageEvent::FromEvent(pEvent) == nullptr)
            return QObject::event(pEvent);
        ++m_nReports;
        return true;
    }
    std::atomic<int> m_nReports{0};
};

class StationDirectoryTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        TestApplication(); // background downloads report through its event loop
        m_strRes = Text(Settings().GetResFolder());
    }
    void WriteList(const std::string& strName, const std::string& strText) const
    {
        std::ofstream(m_strRes + strName, std::ios::binary) << CFileHandler::Scramble(strText);
    }
    bool Load() { return m_directory.LoadMoviesSettings(CMyString(m_strRes.c_str())); }
    // Loads the records 0 News & More, 1 BBC, 2 World, 3 CNN, 4 Deep, 5 Y, 6 Silent, 7 Sport.
    bool LoadNews();
    const CMemoryStationTree::SNode& Node(uint32_t uIndex) const
    {
        return *m_tree.GetNode(m_directory.GetItem(uIndex)->m_hItem);
    }

    std::string m_strRes;
    CMemoryStationTree m_tree;
    CStationDirectory m_directory{m_tree};
};

const char* const kNewsFile = "<CAT><VERSION>3.1</VERSION><MENU><CAPTION>News</CAPTION>"
                              "<MENU_ITEM><CAPTION>BBC</CAPTION><URL>http://bbc/</URL>"
                              "<user_agent>Agent/1.0 (X; &quot;a&quot;)</user_agent>"
                              "<REFERRER>http://portal/</REFERRER></MENU_ITEM>"
                              "<MENU><CAPTION>World</CAPTION>"
                              "<menu_item><caption>CNN</caption><url>http://cnn/</url></menu_item>"
                              "<MENU><CAPTION>Deep</CAPTION><MENU_ITEM><CAPTION>X</CAPTION>"
                              "<CAPTION>Y</CAPTION><URL>u</URL></MENU_ITEM></MENU></MENU>"
                              "<MENU><URL>lost</URL><MENU_ITEM><CAPTION>Lost</CAPTION></MENU_ITEM>"
                              "</MENU><MENU_ITEM><URL>no caption</URL></MENU_ITEM>"
                              "<MENU_ITEM><CAPTION></CAPTION></MENU_ITEM><OTHER/>"
                              "<MENU_ITEM><CAPTION>Silent</CAPTION></MENU_ITEM></MENU></CAT>";

bool StationDirectoryTest::LoadNews()
{
    WriteList("MoviesSettings.txt",
              "<M><VERSION>1.2.3</VERSION><movies><CATEGORY><FILE_NAME>news.txt</FILE_NAME>"
              "</CATEGORY><category><name>News &amp; More</name><file_name>news.txt</file_name>"
              "</category><OTHER/><CATEGORY><NAME>Sport</NAME></CATEGORY></movies></M>");
    WriteList("news.txt", kNewsFile);
    return Load();
}

TEST_F(StationDirectoryTest, LoadsCategoriesMenusAndStationsInDirectoryOrder)
{
    ASSERT_TRUE(LoadNews());

    // Per record: its node's data and text, its parent's record, type, path, address and icon.
    ASSERT_EQ(m_tree.GetCount(), m_directory.GetCount());
    std::string strRecords;
    for (uint32_t i = 0; i < m_directory.GetCount(); ++i)
    {
        const CStationItem* pItem = m_directory.GetItem(i);
        const CMemoryStationTree::SNode* pParent = m_tree.GetNode(Node(i).hParent);
        strRecords +=
            std::to_string(Node(i).uItemData) + " " + Text(Node(i).strText) + " " +
            std::to_string(pParent != nullptr ? static_cast<int>(pParent->uItemData) : -1) + " " +
            std::to_string(pItem->m_nType) + " " + Text(pItem->m_strPath) + " " +
            Text(pItem->m_strUrl) + Text(pItem->m_strIconPath) + "\n";
    }
    EXPECT_EQ(strRecords, "0 News & More -1 0  Folder\n1 BBC 0 1 News/BBC http://bbc/\n"
                          "2 World 0 0  Folder\n3 CNN 2 1 News/World/CNN http://cnn/\n"
                          "4 Deep 2 0  Folder\n5 Y 4 1 News/World/Deep/Y u\n"
                          "6 Silent 0 1 News/Silent \n7 Sport -1 0  Folder\n");
    // Request headers are kept with their station; the others have none.
    EXPECT_EQ(Text(m_directory.GetItem(1)->m_strUserAgent), "Agent/1.0 (X; \"a\")");
    EXPECT_EQ(Text(m_directory.GetItem(1)->m_strReferrer), "http://portal/");
    EXPECT_TRUE(m_directory.GetItem(3)->m_strUserAgent.IsEmpty());
    EXPECT_TRUE(Node(0).bExpanded);
    EXPECT_FALSE(Node(7).bExpanded); // no category file
    EXPECT_TRUE(m_tree.IsScrolledToTop());
    EXPECT_EQ(Text(Settings().GetMoviesSettingsVersion()), "1.2.3");
    EXPECT_EQ(Text(Settings().GetFileVersion("news.txt")), "3.1");
}

TEST_F(StationDirectoryTest, FindRecordSearchesForwardAndWrapsAround)
{
    EXPECT_EQ(m_directory.FindRecord("", 0), MY_NOT_FOUND); // no records
    ASSERT_TRUE(LoadNews());
    EXPECT_EQ(m_directory.FindRecord("", 3), 4u);    // an empty text matches the next record
    EXPECT_EQ(m_directory.FindRecord("", 7), 0u);    // after the last comes the first
    EXPECT_EQ(m_directory.FindRecord("o", 0), 2u);   // "world", not the start's own "news & more"
    EXPECT_EQ(m_directory.FindRecord("o", 7), 0u);   // wraps around
    EXPECT_EQ(m_directory.FindRecord("& m", 0), 0u); // the start itself comes last
    EXPECT_EQ(m_directory.FindRecord("sport", 7), 7u);
    EXPECT_EQ(m_directory.FindRecord("cnn", 99), 3u); // a start past the end begins at record 0
    // A match never spans the end of one name and the start of the next.
    EXPECT_EQ(m_directory.FindRecord("bbcworld", 0), MY_NOT_FOUND);
    EXPECT_EQ(m_directory.FindRecord("ld", 3), 2u);
    EXPECT_EQ(m_directory.FindRecord("nowhere", 5), MY_NOT_FOUND);
    m_directory.RemoveAll();
    EXPECT_EQ(m_directory.FindRecord("", 0), MY_NOT_FOUND);
}

TEST_F(StationDirectoryTest, BadListsLoadNothingOrLeaveTheirCategoryEmpty)
{
    // A missing or broken movies settings file loads nothing; categories outside MOVIES count not.
    EXPECT_FALSE(Load());
    WriteList("MoviesSettings.txt", "<M><MOVIES><CATEGORY><NAME>a</NAME>");
    EXPECT_FALSE(Load());
    WriteList("MoviesSettings.txt", "<M><CATEGORY><NAME>outside MOVIES</NAME></CATEGORY></M>");
    EXPECT_TRUE(Load());
    EXPECT_EQ(m_tree.GetCount(), 0u);
    // Category files that are missing, broken, without a menu, or not plainly inside the res
    // folder. The icons are relative to a server that is not known: they fail quietly.
    WriteList("MoviesSettings.txt",
              "<M><VERSION>9</VERSION><MOVIES><ICON>station.gif</ICON>"
              "<CATEGORY><NAME>Missing</NAME><FILE_NAME>missing.txt</FILE_NAME></CATEGORY>"
              "<CATEGORY><NAME>Broken</NAME><FILE_NAME>broken.txt</FILE_NAME></CATEGORY>"
              "<CATEGORY><NAME>NoMenu</NAME><FILE_NAME>nomenu.txt</FILE_NAME></CATEGORY>"
              "<CATEGORY><NAME>Up</NAME><FILE_NAME>../outside.txt</FILE_NAME></CATEGORY>"
              "<CATEGORY><NAME>Dots</NAME><FILE_NAME>news..txt</FILE_NAME></CATEGORY>"
              "<CATEGORY><NAME>Abs</NAME><FILE_NAME>" +
                  m_strRes +
                  "news.txt</FILE_NAME></CATEGORY>"
                  "<CATEGORY><NAME>Good</NAME><ICON>c.gif</ICON><FILE_NAME>news.txt</FILE_NAME>"
                  "</CATEGORY></MOVIES></M>");
    WriteList("broken.txt", "<CAT><MENU><CAPTION>x</CAPTION><MENU_ITEM>");
    WriteList("nomenu.txt", "<CAT><VERSION>2</VERSION></CAT>");
    WriteList("news.txt", kNewsFile);
    WriteList("news..txt", kNewsFile);
    Write("data/ORVANTA/outside.txt", CFileHandler::Scramble(kNewsFile));
    m_directory.SetRecordVersions(false);
    m_directory.SetFetchIcons(true);
    ASSERT_TRUE(Load());
    // Six empty categories, then the good one with its six items.
    ASSERT_EQ(m_directory.GetCount(), 6u + 1u + 6u);
    for (uint32_t i = 0; i < 7; ++i)
        EXPECT_EQ(Node(i).hParent, TREE_ROOT) << i;
    EXPECT_EQ(Text(Node(6).strText), "Good");
    EXPECT_EQ(Text(m_directory.GetItem(9)->m_strPath), "News/World/CNN");
    EXPECT_TRUE(Settings().GetMoviesSettingsVersion().IsEmpty());
    EXPECT_TRUE(Settings().GetFileVersion("news.txt").IsEmpty());
    EXPECT_EQ(m_directory.GetStationImage(), -1);
    EXPECT_FALSE(std::filesystem::exists(Text(m_directory.GetItem(6)->m_strIconPath)));
}

TEST_F(StationDirectoryTest, IconsAreDownloadedOnceAndCached)
{
    CListServer server({{"icons/station.gif", "GIF89a-station"},
                        {"icons/category.gif", "GIF89a-category"},
                        {"small/a.gif", "GIF89a-a"},
                        {"small/b.gif", "GIF89a-b"}});
    WriteList("MoviesSettings.txt", "<M><MOVIES><ICON>icons/station.gif</ICON>"
                                    "<FOLDER_ICON>icons/missing.gif</FOLDER_ICON>"
                                    "<CATEGORY><NAME>Cat</NAME><ICON>icons/category.gif</ICON>"
                                    "<FILE_NAME>cat.txt</FILE_NAME></CATEGORY></MOVIES></M>");
    auto Icon = [&](const char* pszName)
    { return "<ICON_URL>" + server.Url() + "small/" + pszName + "</ICON_URL>"; };
    WriteList("cat.txt", "<C><MENU><CAPTION>Top</CAPTION><MENU><CAPTION>Menu</CAPTION>" +
                             Icon("a.gif") + "<MENU_ITEM><CAPTION>One</CAPTION>" + Icon("b.gif") +
                             "</MENU_ITEM><MENU_ITEM><CAPTION>Two</CAPTION>" + Icon("b.gif") +
                             "</MENU_ITEM><MENU_ITEM><CAPTION>Three</CAPTION></MENU_ITEM>"
                             "</MENU></MENU></C>");

    for (int nRound = 0; nRound < 2; ++nRound)
    {
        SCOPED_TRACE(nRound);
        CDownloadReceiver receiver;
        CMemoryStationTree tree;
        CStationDirectory directory(tree);
        directory.SetServerUrl(CMyString(server.Url().c_str()));
        directory.SetIconReceiver(&receiver);
        ASSERT_TRUE(directory.LoadMoviesSettings(CMyString(m_strRes.c_str())));
        ASSERT_EQ(directory.GetCount(), 5u);
        // The station icon is in the image list; the folder icon could not be fetched.
        EXPECT_EQ(directory.GetStationImage(), 0);
        EXPECT_EQ(directory.GetFolderImage(), -1);
        ASSERT_EQ(tree.GetIcons().size(), 1u);
        const CMyString strIconFile =
            Settings().GetIconFilePath(CMyString((server.Url() + "icons/station.gif").c_str()));
        EXPECT_EQ(tree.GetIcons()[0], Text(strIconFile));
        EXPECT_EQ(Read(Text(strIconFile).substr(m_strRoot.size())), "GIF89a-station");
        EXPECT_EQ(tree.GetNode(directory.GetItem(1)->m_hItem)->nImage, -1);
        EXPECT_EQ(Text(directory.GetItem(0)->m_strIconPath),
                  Text(Settings().GetCacheIconPath(
                      CMyString((server.Url() + "icons/category.gif").c_str()))));
        EXPECT_EQ(directory.GetItem(2)->m_strIconPath.Compare(directory.GetItem(3)->m_strIconPath),
                  0);
        EXPECT_TRUE(directory.GetItem(4)->m_strIconPath.IsEmpty());
        // Three small icons are fetched in the background on the first round only.
        EXPECT_TRUE(PumpEventsUntil([&] { return receiver.m_nReports == (nRound == 0 ? 3 : 0); },
                                    nRound == 0 ? 20 : 1));
        for (uint32_t i : {0u, 1u, 2u})
            EXPECT_TRUE(std::filesystem::exists(Text(directory.GetItem(i)->m_strIconPath)));
    }
    // Each file is asked for once; only the missing folder icon is asked for at each load.
    const std::map<std::string, int> expected = {{"icons/station.gif", 1},
                                                 {"icons/missing.gif", 2},
                                                 {"icons/category.gif", 1},
                                                 {"small/a.gif", 1},
                                                 {"small/b.gif", 1}};
    EXPECT_EQ(server.Requests(), expected);
}

} // namespace
