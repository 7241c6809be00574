#include "directory/FolderTreeView.h"
#include "text/TextTestSupport.h"
#include "window/WindowTestSupport.h"

#include "config/FileHandler.h"
#include "skin/MyMessageBox.h"
#include "skin/SkinInfo.h"

#include "ListServer.h"
#include "TestSupport.h"
#include "skin/WidgetTestSupport.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace
{

// Stands in for the player view.
class CHintRecorder : public CDocumentView
{
public:
    void OnUpdate(CDocumentView*, intptr_t nHint, QObject*) override
    {
        m_arrHints.push_back(nHint);
    }
    std::vector<intptr_t> m_arrHints;
};

// Records: 0 News, 1 Sky News, 2 World, 3 CNN, 4 World News, 5 Sport, 6 Arena, 7 Empty. The
// category without a name is left out; the one whose file is missing stays empty.
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

class FolderTreeViewTest : public ScratchHome
{
protected:
    void TearDown() override
    {
        m_pTree.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ScratchHome::TearDown();
    }
    // Writes the lists, loads them into a shown tree and delivers the codes posted so far.
    void Load(const std::string& strMovies = kMovies, const std::string& strNews = kNews)
    {
        for (const auto& [pszName, strText] :
             {std::pair<const char*, std::string>{"MoviesSettings.txt", strMovies},
              {"News.txt", strNews},
              {"Sport.txt", "<C><MENU><CAPTION>Sport</CAPTION><MENU_ITEM><CAPTION>Arena"
                            "</CAPTION><URL>http://arena/</URL></MENU_ITEM></MENU></C>"}})
            Write(std::string("data/ORVANTA/res/") + pszName, CFileHandler::Scramble(strText));
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
    int Selected() const
    {
        for (uint32_t uIndex = 0; uIndex < m_pTree->GetDirectory().GetCount(); ++uIndex)
            if (Record(uIndex) == m_pTree->GetSelectedItem())
                return static_cast<int>(uIndex);
        return -1;
    }
    // Runs FindNext; answers the text of the message box it opened ("" for none), ended with
    // nResult.
    std::string Find(const char* pszText, int nResult = CMyMessageBox::RESULT_OK)
    {
        std::string strBoxText;
        QTimer timer;
        QObject::connect(
            &timer, &QTimer::timeout,
            [&]
            {
                if (auto* pBox = dynamic_cast<CMyMessageBox*>(QApplication::activeModalWidget()))
                {
                    strBoxText = pBox->GetTextControl().text().toStdString();
                    pBox->done(nResult);
                }
            });
        timer.start(10);
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

    CFrameStandIn m_frame;
    CTelvaneDoc m_document;
    CHintRecorder m_player;
    std::unique_ptr<CFolderTreeView> m_pTree;
};

TEST_F(FolderTreeViewTest, LoadsOnceThenNextAndPreviousSkipFoldersWithoutWrapping)
{
    Load();
    std::string strOrder;
    for (uint32_t uIndex = 0; uIndex < m_pTree->GetDirectory().GetCount(); ++uIndex)
    {
        EXPECT_EQ(m_pTree->GetItemRecord(Item(uIndex)), Record(uIndex));
        strOrder += Item(uIndex)->text(0).toStdString() + "|";
    }
    EXPECT_EQ(strOrder, "News|Sky News|World|CNN|World News|Sport|Arena|Empty|");
    EXPECT_EQ(Item(3)->parent(), Item(2));
    EXPECT_TRUE(Item(0)->isExpanded());
    // A second initial update neither reloads nor reports again.
    m_pTree->OnInitialUpdate();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_pTree->GetDirectory().GetCount(), 8u);
    EXPECT_EQ(m_frame.m_arrCodes, std::vector<uintptr_t>{CODE_TREE_LOADED});
    m_frame.m_arrCodes.clear();
    // With nothing selected Next takes the first station; folders are passed over.
    EXPECT_EQ(m_pTree->GetSelectedItem(), nullptr);
    for (const int nExpected : {1, 3, 4, 6})
    {
        EXPECT_TRUE(m_pTree->NextStation());
        EXPECT_EQ(Selected(), nExpected);
    }
    EXPECT_FALSE(m_pTree->NextStation());
    EXPECT_EQ(Selected(), 6);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame.Count(CODE_SELECTION_CHANGED), 4); // one per change
    m_pTree->setCurrentItem(Item(1));
    EXPECT_FALSE(m_pTree->PreviousStation());
    // A station inside a closed folder is opened to be shown.
    Item(2)->setExpanded(false);
    EXPECT_TRUE(m_pTree->NextStation());
    EXPECT_TRUE(Item(2)->isExpanded());
    EXPECT_TRUE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 1);
    // With nothing selected Previous takes the last station.
    m_pTree->clearSelection();
    EXPECT_TRUE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 6);
}

TEST_F(FolderTreeViewTest, FindNextWrapsAroundAndOffersTheWebWhenNothingMatches)
{
    Load();
    for (const int nExpected : {1, 4, 0}) // past the end, on from the top, where News matches
    {
        EXPECT_EQ(Find("NEWS"), "");
        EXPECT_EQ(Selected(), nExpected);
    }
    // Empty text: the record after the selected one.
    EXPECT_EQ(Find(""), "");
    EXPECT_EQ(Selected(), 1);
    // The only match is the selected one: it is found again (its folder opened), without a box.
    Item(2)->setExpanded(false);
    EXPECT_EQ(Find("Cnn"), "");
    EXPECT_TRUE(Item(2)->isExpanded());
    EXPECT_EQ(Find("cnn"), "");
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(m_frame.Count(CODE_SEARCH_WEB), 0);
    // No match: the web is offered, only OK accepts it, and the selection stays.
    const std::string strOffer = "No results found\nWould you like to try the web?";
    EXPECT_EQ(Find("weather"), strOffer);
    EXPECT_EQ(Find("weather", CMyMessageBox::RESULT_CANCEL), strOffer);
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(m_frame.Count(CODE_SEARCH_WEB), 1);
}

// A list that ends with a station: Previous with nothing selected takes that last station.
TEST_F(FolderTreeViewTest, PreviousFromNothingReachesAStationThatIsTheLastRecord)
{
    Load("<MS><MOVIES><CATEGORY><NAME>News</NAME><FILE_NAME>News.txt</FILE_NAME></CATEGORY>"
         "</MOVIES></MS>");
    EXPECT_TRUE(m_pTree->PreviousStation());
    EXPECT_EQ(Selected(), 4);
}

TEST_F(FolderTreeViewTest, BrokenMoviesListLeavesAnEmptyTreeThatStillReports)
{
    Load("<MS><MOVIES><CATEGORY><NAME>Cut");
    EXPECT_EQ(m_pTree->topLevelItemCount(), 0);
    EXPECT_FALSE(m_pTree->NextStation());
    EXPECT_FALSE(m_pTree->PreviousStation());
    EXPECT_NE(Find(""), ""); // even an empty text finds nothing
    EXPECT_EQ(m_frame.m_arrCodes, (std::vector<uintptr_t>{CODE_TREE_LOADED, CODE_SEARCH_WEB}));
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
    EXPECT_EQ(m_frame.Count(CODE_SELECTION_CHANGED), 1);
    EXPECT_TRUE(m_player.m_arrHints.empty());
    // A double click (a press, a release, then the double click) and Enter ask to play.
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, RowCentre(1));
    QTest::mouseDClick(m_pTree->viewport(), Qt::LeftButton, {}, RowCentre(1));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(m_player.m_arrHints, std::vector<intptr_t>{HINT_PLAY});
    QTest::keyClick(m_pTree.get(), Qt::Key_Return);
    EXPECT_EQ(m_player.m_arrHints.size(), 2u);
    // Left closes the selected item, then (as usual for a closed item) moves up to its parent.
    QTest::keyClick(m_pTree.get(), Qt::Key_Down);
    EXPECT_EQ(Selected(), 2);
    QTest::keyClick(m_pTree.get(), Qt::Key_Left);
    EXPECT_FALSE(Item(2)->isExpanded());
    EXPECT_EQ(Selected(), 0);
    // Keys pressed in the player view arrive as a hint with their virtual-key code (Down).
    m_document.UpdateAllViews(&m_player, HINT_KEY, new CKeyHint(40));
    EXPECT_EQ(Selected(), 1);
}

TEST_F(FolderTreeViewTest, DrawsRowsAndTheScrollBarInSkinColours)
{
    std::string strNews = "<C><MENU><CAPTION>Top</CAPTION>";
    for (int i = 0; i < 60; ++i)
        strNews += "<MENU_ITEM><CAPTION>Station " + std::to_string(i) + "</CAPTION></MENU_ITEM>";
    Load(kMovies, strNews + "</MENU></C>");
    m_pTree->setCurrentItem(Item(1));
    m_pTree->scrollToTop();
    const QImage image = Snapshot(*m_pTree);
    const QColor clrSelected = SkinColor(GetSkinInfo()->m_clrTreeSelectedBg);
    const QColor clrBackground = SkinColor(GetSkinInfo()->m_clrTreeBg);
    const QRect rcSelected = m_pTree->visualItemRect(Item(1));
    const QScrollBar* pBar = m_pTree->verticalScrollBar();
    ASSERT_TRUE(pBar->isVisible() && pBar->maximum() > 0);
    // The selection bar spans the whole row, from x = 0 to the scroll bar.
    const int nRight = pBar->mapTo(m_pTree.get(), QPoint(0, 0)).x() - 1;
    EXPECT_TRUE(IsNear(PixelAt(image, 0, rcSelected.top() + 1), clrSelected));
    EXPECT_TRUE(IsNear(PixelAt(image, nRight, rcSelected.bottom() - 1), clrSelected));
    EXPECT_TRUE(IsNear(PixelAt(image, nRight, RowCentre(0).y()), clrBackground));
    // The scroll bar's track is the tree's background and its handle, at the top, the
    // selection bar's colour.
    const QPoint ptTop = pBar->mapTo(m_pTree.get(), QPoint(pBar->width() / 2, 10));
    const QPoint ptBottom =
        pBar->mapTo(m_pTree.get(), QPoint(pBar->width() / 2, pBar->height() - 3));
    EXPECT_TRUE(IsNear(PixelAt(image, ptBottom.x(), ptBottom.y()), clrBackground));
    EXPECT_TRUE(IsNear(PixelAt(image, ptTop.x(), ptTop.y()), clrSelected));
}

// An icon whose download ends after the tree was drawn shows without any other cause for a
// repaint, and each icon file is decoded once: a later paint shows what was read first.
TEST_F(FolderTreeViewTest, IconArrivingLaterShowsAtOnceAndIsDecodedOnce)
{
    ASSERT_TRUE(WritePicture(Path("red.png"), 10, 10, Qt::red));
    CListServer server({{"red.png", Read("red.png")}});
    server.Hold(true);
    Load(kMovies, "<C><MENU><CAPTION>Top</CAPTION><MENU_ITEM><CAPTION>Sky News</CAPTION>"
                  "<ICON_URL>" +
                      server.Url() +
                      "red.png</ICON_URL><URL>http://sky/</URL></MENU_ITEM></MENU></C>");
    // What the window shows now, read from its backing store without painting it again.
    const QPoint ptIcon =
        m_pTree->viewport()->mapTo(m_pTree.get(), m_pTree->IconBox(Item(1)).center());
    const auto ShownAtIcon = [&]
    {
        const QImage shown = m_pTree->screen()->grabWindow(m_pTree->winId()).toImage();
        return PixelAt(shown.convertToFormat(QImage::Format_RGB32), ptIcon.x(), ptIcon.y());
    };
    const QColor clrBackground = SkinColor(GetSkinInfo()->m_clrTreeBg);
    ASSERT_TRUE(PumpEventsUntil([&] { return IsNear(ShownAtIcon(), clrBackground); }));
    server.Hold(false);
    EXPECT_TRUE(PumpEventsUntil([&] { return IsNear(ShownAtIcon(), QColor(Qt::red)); }));
    ASSERT_TRUE(WritePicture(Text(Record(1)->m_strIconPath), 10, 10, Qt::blue));
    m_pTree->viewport()->repaint();
    EXPECT_TRUE(IsNear(ShownAtIcon(), QColor(Qt::red)));
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
    EXPECT_EQ(pTree->width(), CFolderTreeView::MIN_WIDTH);
    splitter.setSizes({250, 600 - 250 - splitter.handleWidth()});
    EXPECT_EQ(pTree->width(), 250); // wider is left alone
}

} // namespace
