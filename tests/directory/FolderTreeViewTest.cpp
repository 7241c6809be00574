// The station tree on the offscreen platform: real list files in a scratch res folder, a real
// document, a real splitter, a real message box, and icons fetched from a server on 127.0.0.1.
#include "directory/FolderTreeView.h"
#include "text/TextTestSupport.h"
#include "window/WindowTestSupport.h"

#include "config/FileHandler.h"
#include "config/Settings.h"
#include "platform/WindowMessage.h"
#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/SkinInfo.h"

#include "ListServer.h"
#include "TestSupport.h"
#include "skin/WidgetTestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QSplitter>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{

// Stands in for the player view: records the hints the document hands it.
class CHintRecorder : public CDocumentView
{
public:
    void OnUpdate(CDocumentView* /*pSender*/, intptr_t nHint, QObject* /*pHint*/) override
    {
        m_arrHints.push_back(nHint);
    }
    std::vector<intptr_t> m_arrHints;
};

// Records: 0 News, 1 Sky News, 2 World, 3 CNN, 4 World News, 5 Sport, 6 Arena, 7 Empty.
const char* const kMovies =
    "<MS><VERSION>1.0</VERSION><MOVIES>"
    "<CATEGORY><NAME>News</NAME><FILE_NAME>News.txt</FILE_NAME></CATEGORY>"
    "<CATEGORY><FILE_NAME>Sport.txt</FILE_NAME></CATEGORY>"
    "<CATEGORY><NAME>Sport</NAME><FILE_NAME>Sport.txt</FILE_NAME></CATEGORY>"
    "<CATEGORY><NAME>Empty</NAME><FILE_NAME>Missing.txt</FILE_NAME></CATEGORY>"
    "</MOVIES></MS>";
const char* const kNews =
    "<C><MENU><CAPTION>Top</CAPTION>"
    "<MENU_ITEM><CAPTION>Sky News</CAPTION><URL>http://sky/</URL></MENU_ITEM>"
    "<MENU><CAPTION>World</CAPTION>"
    "<MENU_ITEM><CAPTION>CNN</CAPTION><URL>http://cnn/</URL></MENU_ITEM>"
    "<MENU_ITEM><CAPTION>World News</CAPTION><URL>http://wn/</URL></MENU_ITEM>"
    "</MENU></MENU></C>";
const char* const kSport = "<C><MENU><CAPTION>Sport</CAPTION>"
                           "<MENU_ITEM><CAPTION>Arena</CAPTION><URL>http://arena/</URL></MENU_ITEM>"
                           "</MENU></C>";

class FolderTreeViewTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_strRes = Text(Settings().GetResFolder());
    }
    void TearDown() override
    {
        m_pTree.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ScratchHome::TearDown();
    }
    void WriteList(const std::string& strName, const std::string& strText) const
    {
        std::ofstream(m_strRes + strName, std::ios::binary) << CFileHandler::Scramble(strText);
    }
    // Writes the lists, loads them into a shown tree and delivers the codes posted so far.
    void Load(const char* pszNews = kNews)
    {
        WriteList("MoviesSettings.txt", kMovies);
        WriteList("News.txt", pszNews);
        WriteList("Sport.txt", kSport);
        m_pTree = std::make_unique<CFolderTreeView>();
        m_pTree->resize(300, 400);
        m_pTree->SetMainFrame(&m_frame);
        m_pTree->SetDocument(&m_document);
        m_document.AddView(&m_player);
        m_pTree->show();
        m_pTree->OnInitialUpdate();
        QCoreApplication::processEvents();
    }
    CStationItem* Record(uint32_t uIndex) const { return m_pTree->GetDirectory().GetItem(uIndex); }
    QTreeWidgetItem* Item(uint32_t uIndex) const
    {
        return CFolderTreeView::ItemFromHandle(Record(uIndex)->m_hItem);
    }
    // The index of the selected record, or -1.
    int Selected() const
    {
        const CStationItem* pSelected = m_pTree->GetSelectedItem();
        for (uint32_t uIndex = 0; uIndex < m_pTree->GetDirectory().GetCount(); ++uIndex)
            if (Record(uIndex) == pSelected)
                return static_cast<int>(uIndex);
        return -1;
    }
    // Runs FindNext; the message box, when one opens, ends with nResult. Answers its text, or
    // "" when no box opened.
    std::string Find(const char* pszText, int nResult = CMyMessageBox::RESULT_OK)
    {
        std::string strBoxText;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(
            &timer, &QTimer::timeout,
            [&]
            {
                if (auto* pBox = dynamic_cast<CMyMessageBox*>(QApplication::activeModalWidget()))
                {
                    strBoxText = pBox->GetTextControl().text().toStdString();
                    if (nResult == CMyMessageBox::RESULT_CANCEL)
                        QTest::keyClick(pBox, Qt::Key_Escape);
                    else
                        pBox->done(nResult);
                }
            });
        timer.start();
        CMyString strText(pszText);
        m_pTree->FindNext(strText);
        EXPECT_EQ(Text(strText), QString(pszText).toLower().toStdString());
        QCoreApplication::processEvents();
        return strBoxText;
    }
    QPoint RowCentre(uint32_t uIndex) const
    {
        return m_pTree->visualItemRect(Item(uIndex)).center();
    }

    std::string m_strRes;
    CFrameStandIn m_frame;
    CTelvaneDoc m_document;
    CHintRecorder m_player;
    std::unique_ptr<CFolderTreeView> m_pTree;
};

TEST_F(FolderTreeViewTest, LoadsListsInDirectoryOrderAndReportsOnce)
{
    Load();
    // Each item shows its record: the item data is the record's index, depth first.
    std::string strOrder;
    for (uint32_t uIndex = 0; uIndex < m_pTree->GetDirectory().GetCount(); ++uIndex)
    {
        EXPECT_EQ(m_pTree->GetItemRecord(Item(uIndex)), Record(uIndex));
        strOrder += Item(uIndex)->text(0).toStdString() + "|";
    }
    EXPECT_EQ(strOrder, "News|Sky News|World|CNN|World News|Sport|Arena|Empty|");
    EXPECT_EQ(Item(3)->parent(), Item(2));
    EXPECT_TRUE(Item(0)->isExpanded());
    EXPECT_EQ(m_pTree->GetSelectedItem(), nullptr);

    // A second initial update neither reloads nor reports again.
    m_pTree->OnInitialUpdate();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_pTree->GetDirectory().GetCount(), 8u);
    EXPECT_EQ(m_frame.m_arrCodes, std::vector<uintptr_t>{CFolderTreeView::CODE_TREE_LOADED});
}

TEST_F(FolderTreeViewTest, NextAndPreviousSkipFoldersWithoutWrapping)
{
    Load();
    m_frame.m_arrCodes.clear();
    // With nothing selected: the first station after record 0, and the last station.
    EXPECT_TRUE(m_pTree->NextStation());
    EXPECT_EQ(Selected(), 1);
    EXPECT_TRUE(m_pTree->NextStation());
    EXPECT_EQ(Selected(), 3);
    EXPECT_TRUE(m_pTree->NextStation() && m_pTree->NextStation());
    EXPECT_EQ(Selected(), 6);
    EXPECT_FALSE(m_pTree->NextStation());
    EXPECT_EQ(Selected(), 6);
    EXPECT_TRUE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 4);
    QCoreApplication::processEvents();
    // One report per change of selection.
    EXPECT_EQ(m_frame.Count(CFolderTreeView::CODE_SELECTION_CHANGED), 5);

    m_pTree->setCurrentItem(Item(1));
    EXPECT_FALSE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 1);
    m_pTree->clearSelection();
    EXPECT_TRUE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 6);

    // A station inside a closed folder is opened to be shown.
    Item(2)->setExpanded(false);
    m_pTree->setCurrentItem(Item(1));
    EXPECT_TRUE(m_pTree->NextStation());
    EXPECT_TRUE(Item(2)->isExpanded());
}

TEST_F(FolderTreeViewTest, FindNextSearchesForwardAndWrapsAround)
{
    Load();
    EXPECT_EQ(Find("NEWS"), "");
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Find("NEWS"), "");
    EXPECT_EQ(Selected(), 4);
    // Past the end it goes on from the top, where the category matches too.
    EXPECT_EQ(Find("news"), "");
    EXPECT_EQ(Selected(), 0);
    // Empty text: the record after the selected one.
    EXPECT_EQ(Find(""), "");
    EXPECT_EQ(Selected(), 1);

    // The only match is the selected one: it is found again, without a box.
    Item(2)->setExpanded(false);
    EXPECT_EQ(Find("Cnn"), "");
    EXPECT_EQ(Selected(), 3);
    EXPECT_TRUE(Item(2)->isExpanded());
    EXPECT_EQ(Find("cnn"), "");
    EXPECT_EQ(Selected(), 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame.Count(CFolderTreeView::CODE_SEARCH_WEB), 0);
}

TEST_F(FolderTreeViewTest, NoMatchOffersTheWebAndOnlyOkAccepts)
{
    Load();
    m_pTree->setCurrentItem(Item(3));
    EXPECT_EQ(Find("weather"), "No results found\nWould you like to try the web?");
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(m_frame.Count(CFolderTreeView::CODE_SEARCH_WEB), 1);

    EXPECT_EQ(Find("weather", CMyMessageBox::RESULT_CANCEL),
              "No results found\nWould you like to try the web?");
    EXPECT_EQ(m_frame.Count(CFolderTreeView::CODE_SEARCH_WEB), 1);

    // A broken movies list leaves an empty tree that still reports, and finds nothing, even
    // for an empty text.
    WriteList("MoviesSettings.txt", "<MS><MOVIES><CATEGORY><NAME>Cut");
    m_frame.m_arrCodes.clear();
    m_pTree = std::make_unique<CFolderTreeView>();
    m_pTree->SetMainFrame(&m_frame);
    m_pTree->OnInitialUpdate();
    EXPECT_EQ(m_pTree->topLevelItemCount(), 0);
    EXPECT_FALSE(m_pTree->NextStation());
    EXPECT_FALSE(m_pTree->PreviousStation());
    EXPECT_NE(Find(""), "");
    EXPECT_EQ(m_frame.m_arrCodes, (std::vector<uintptr_t>{CFolderTreeView::CODE_TREE_LOADED,
                                                          CFolderTreeView::CODE_SEARCH_WEB}));
}

TEST_F(FolderTreeViewTest, ClicksAndKeysSelectToggleAndPlay)
{
    Load();
    m_frame.m_arrCodes.clear();
    // A click anywhere on a category's row (also left of its text) selects and toggles it.
    const QPoint ptNews(2, RowCentre(0).y());
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, ptNews);
    EXPECT_EQ(Selected(), 0);
    EXPECT_FALSE(Item(0)->isExpanded());
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, ptNews);
    EXPECT_TRUE(Item(0)->isExpanded());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame.Count(CFolderTreeView::CODE_SELECTION_CHANGED), 1);
    EXPECT_TRUE(m_player.m_arrHints.empty());

    // A double click and Enter ask the player view to play.
    // (A double click reaches a widget as a press, a release and then the double click.)
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, RowCentre(1));
    QTest::mouseDClick(m_pTree->viewport(), Qt::LeftButton, {}, RowCentre(1));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(m_player.m_arrHints, std::vector<intptr_t>{HINT_PLAY});
    QTest::keyClick(m_pTree.get(), Qt::Key_Return);
    EXPECT_EQ(m_player.m_arrHints.size(), 2u);

    // Down moves the selection; Left closes the selected item, then (as usual for a closed
    // item) moves up to its parent.
    QTest::keyClick(m_pTree.get(), Qt::Key_Down);
    EXPECT_EQ(Selected(), 2);
    QTest::keyClick(m_pTree.get(), Qt::Key_Left);
    EXPECT_FALSE(Item(2)->isExpanded());
    EXPECT_EQ(Selected(), 0);

    // Keys pressed in the player view arrive as hint 10 (virtual-key codes) and move the tree.
    m_document.UpdateAllViews(&m_player, HINT_KEY, new CKeyHint(40));
    EXPECT_EQ(Selected(), 1);
    CKeyHint keyUp(38);
    m_pTree->OnUpdate(&m_player, HINT_KEY, &keyUp);
    EXPECT_EQ(Selected(), 0);
    m_pTree->HandleKey(Qt::Key_Down);
    EXPECT_EQ(Selected(), 1);
    m_pTree->HandleKey(0xFF); // no such key: nothing happens
    m_pTree->OnUpdate(&m_player, 7, nullptr);
    EXPECT_EQ(Selected(), 1);
}

TEST_F(FolderTreeViewTest, DrawsRowsInSkinColoursWithIconsFromTheirFiles)
{
    // A red 10 x 10 icon served on 127.0.0.1, fetched in the background into the icon cache.
    QImage icon(10, 10, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "PNG");
    CListServer server({{"red.png", png.toStdString()}});
    const std::string strNews =
        "<C><MENU><CAPTION>Top</CAPTION><MENU_ITEM><CAPTION>Sky News</CAPTION><ICON_URL>" +
        server.Url() +
        "red.png</ICON_URL><URL>http://sky/</URL></MENU_ITEM>"
        "<MENU_ITEM><CAPTION>Gone</CAPTION><ICON_URL>" +
        server.Url() + "gone.png</ICON_URL></MENU_ITEM></MENU></C>";
    Load(strNews.c_str());
    const std::string strIcon = Text(Record(1)->m_strIconPath);
    ASSERT_FALSE(strIcon.empty());
    ASSERT_TRUE(PumpEventsUntil([&] { return std::filesystem::exists(strIcon); }));

    m_pTree->setCurrentItem(Item(1));
    const QImage image = Snapshot(*m_pTree);
    const CSkinInfo& skin = *GetSkinInfo();
    const QRect rcSelected = m_pTree->visualItemRect(Item(1));
    const QRect rcOther = m_pTree->visualItemRect(Item(0));
    // The selection bar spans the whole row, from x = 0 to the right edge.
    EXPECT_TRUE(
        IsNear(PixelAt(image, 0, rcSelected.top() + 1), SkinColor(skin.m_clrTreeSelectedBg)));
    EXPECT_TRUE(IsNear(PixelAt(image, image.width() - 1, rcSelected.bottom() - 1),
                       SkinColor(skin.m_clrTreeSelectedBg)));
    EXPECT_TRUE(IsNear(PixelAt(image, image.width() - 1, rcOther.center().y()),
                       SkinColor(skin.m_clrTreeBg)));
    // The icon sits centred in its box left of the text; a missing icon leaves the box empty.
    const QPoint ptIcon = m_pTree->IconBox(Item(1)).center();
    EXPECT_TRUE(IsNear(PixelAt(image, ptIcon.x(), ptIcon.y()), QColor(Qt::red)));
    const QPoint ptNoIcon = m_pTree->IconBox(Item(2)).center();
    EXPECT_TRUE(IsNear(PixelAt(image, ptNoIcon.x(), ptNoIcon.y()), SkinColor(skin.m_clrTreeBg)));
}

TEST_F(FolderTreeViewTest, SplitterNeverMakesTheTreeNarrowerThan180)
{
    QSplitter splitter;
    splitter.resize(600, 300);
    auto* pTree = new CFolderTreeView;
    splitter.addWidget(pTree);
    splitter.addWidget(new QWidget);
    splitter.show();
    pTree->SetSplitter(&splitter);
    QCoreApplication::processEvents();
    splitter.setSizes({100, 500});
    QCoreApplication::processEvents();
    const int nWidth = splitter.width();
    EXPECT_EQ(pTree->width(), CFolderTreeView::MIN_WIDTH);
    EXPECT_EQ(splitter.sizes().at(1), nWidth - CFolderTreeView::MIN_WIDTH - splitter.handleWidth());
    // Wider is left alone.
    splitter.setSizes({250, nWidth - 250 - splitter.handleWidth()});
    EXPECT_EQ(pTree->width(), 250);
}

} // namespace
