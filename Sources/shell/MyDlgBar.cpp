#include "shell/MyDlgBar.h"

#include "config/Settings.h"
#include "net/UpdateCheck.h"
#include "platform/MessageVocabulary.h"
#include "skin/MenuXP.h"
#include "skin/MyMessageBox.h"
#include "skin/SkinInfo.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <ctime>
#include <memory>
#include <thread>
#include <utility>

namespace
{

// Gaps of the layout, in pixels.
constexpr int LEFT_GROUP_X = 17;
constexpr int LEFT_GROUP_Y = 6;
// Between the edit box and the Search button.
constexpr int LEFT_GROUP_GAP = 4;
constexpr int CAPTION_BUTTONS_Y = 8;
constexpr int CAPTION_BUTTONS_RIGHT = 17;
constexpr int CAPTION_BUTTONS_GAP = 3;
// After the Search button and between the notices, whatever placed them last (a resize, a new
// engine's caption, the notices appearing).
constexpr int NOTICE_GAP = 5;
constexpr int TITLE_GAP = 10;
constexpr int EDIT_BOX_HEIGHT = 19;
// The Search button is its caption's width plus room for the picture, the arrow and the frame.
constexpr int SEARCH_BUTTON_EXTRA = 52;

// A control of the bar's template: position and size in dialog units.
QRect TemplateRect(int nX, int nY, int nWidth, int nHeight)
{
    return QRect(QPoint(MapDialogUnits(nX, nY).width(), MapDialogUnits(nX, nY).height()),
                 MapDialogUnits(nWidth, nHeight));
}

} // namespace

CMyDlgBar::CMyDlgBar()
    : m_EditBox(this), m_btnSearch(this), m_btnListsNotice(this), m_btnVersionNotice(this),
      m_Title(this), m_btnClose(this), m_btnMinimize(this), m_btnMaximize(this)
{
    Settings settings;
    CMyString strResFolder = settings.GetResFolder();
    m_BuiltInEngine.m_strCaption = "Search";
    m_BuiltInEngine.m_strImagePath = strResFolder;
    m_BuiltInEngine.m_strImagePath += "MoviesSearch.gif";
    m_BuiltInEngine.m_nId = BUILT_IN_ENGINE_ID;
    m_nSelectedEngine = BUILT_IN_ENGINE_ID;
    LoadSearchSettings(strResFolder, m_Engines);
    m_clrTitle = GetSkinInfo()->m_clrTitleText;

    // The bar draws nothing of its own: the frame's top strip shows through it.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);

    m_timerStartCheck.setSingleShot(true);
    connect(&m_timerStartCheck, &QTimer::timeout, this, [this] { OnStartCheckTimer(); });
    connect(&m_timerBlink, &QTimer::timeout, this, [this] { OnBlinkTimer(); });
    connect(&m_btnSearch, &QPushButton::clicked, this, [this] { OnSearchClicked(); });
    connect(&m_btnListsNotice, &QPushButton::clicked, this, [this] { OnListsNoticeClicked(); });
    connect(&m_btnVersionNotice, &QPushButton::clicked, this, [this] { OnVersionNoticeClicked(); });
    connect(&m_btnClose, &QPushButton::clicked, this, [this] { PostToFrame(ID_CLOSE); });
    connect(&m_btnMinimize, &QPushButton::clicked, this, [this] { PostToFrame(ID_MINIMIZE); });
    connect(&m_btnMaximize, &QPushButton::clicked, this, [this] { PostToFrame(ID_MAXIMIZE); });
}

CMyDlgBar::~CMyDlgBar() = default;

uint32_t CMyDlgBar::TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t uMilliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(uMilliseconds);
}

bool CMyDlgBar::Create(QWidget* pParent, uint32_t uTemplateId, uint32_t uStyle, uint32_t uControlId)
{
    if (!BaseDialogBar::Create(pParent, uTemplateId, uStyle, uControlId))
        return false;
    return OnCreateBar();
}

bool CMyDlgBar::Create(QWidget* pParent, const char* pszTemplateName, uint32_t uStyle,
                       uint32_t uControlId)
{
    if (!BaseDialogBar::Create(pParent, pszTemplateName, uStyle, uControlId))
        return false;
    return OnCreateBar();
}

void CMyDlgBar::DoDataExchange()
{
    // The controls take the places and sizes of the bar's template; the layout moves them.
    resize(MapDialogUnits(545, 17));
    m_EditBox.setGeometry(TemplateRect(4, 3, 160, 12));
    m_EditBox.m_pNotifyWnd = this;
    m_btnSearch.setGeometry(TemplateRect(170, 3, 59, 12));
    m_btnSearch.setText(QStringLiteral("Search"));
    m_btnListsNotice.setGeometry(TemplateRect(234, 3, 106, 12));
    m_btnListsNotice.setText(QStringLiteral("Updated Lists Available"));
    m_btnListsNotice.hide();
    m_btnVersionNotice.setGeometry(TemplateRect(344, 3, 106, 12));
    m_btnVersionNotice.setText(QStringLiteral("Newer Version Available"));
    m_btnVersionNotice.hide();
    m_Title.setGeometry(TemplateRect(451, 4, 87, 9));
    m_Title.setText(QStringLiteral("Static"));
}

bool CMyDlgBar::OnCreateBar()
{
    const CButtonColorSet& toolbarColors = GetSkinInfo()->m_ToolbarButtons;

    m_btnSearch.SetNotifyWindow(this);
    m_btnSearch.SetNotifyOnPress(true);
    m_btnSearch.SetStyle(CMyOwnButton::STYLE_SPLIT);
    m_btnSearch.SetPictures(m_BuiltInEngine.m_strImagePath, CMyString(), CMyString());
    m_btnSearch.SetGradientFace(true, false);
    m_btnSearch.ApplyColorSet(toolbarColors);

    m_btnListsNotice.SetStyle(CMyOwnButton::STYLE_FLAT);
    m_btnListsNotice.SetGradientFace(true, false);
    m_btnListsNotice.ApplyColorSet(toolbarColors);
    m_btnVersionNotice.ApplyColorSet(toolbarColors);

    // The title: centred, bold Arial, in the skin's title colour over whatever lies beneath.
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(13);
    titleFont.setWeight(QFont::DemiBold);
    m_Title.setFont(titleFont);
    m_Title.setAlignment(Qt::AlignCenter);
    m_Title.setAutoFillBackground(false);
    QPalette titlePalette = m_Title.palette();
    titlePalette.setColor(QPalette::WindowText, SkinColor(m_clrTitle));
    m_Title.setPalette(titlePalette);

    struct CCaptionButton
    {
        CMyOwnButton* pButton;
        const char* pszName;
    };
    const CCaptionButton captionButtons[] = {
        {&m_btnClose, "Close"}, {&m_btnMinimize, "Minimize"}, {&m_btnMaximize, nullptr}};
    for (const CCaptionButton& caption : captionButtons)
    {
        CMyOwnButton& button = *caption.pButton;
        button.resize(CAPTION_BUTTON_SIZE, CAPTION_BUTTON_SIZE);
        button.SetNotifyWindow(this);
        button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
        button.SetTransparent(true);
        if (caption.pszName != nullptr)
        {
            CMyString strBase("res/Skin/");
            strBase += caption.pszName;
            CMyString strNormal = strBase, strHover = strBase, strPressed = strBase;
            strNormal += ".Gif";
            strHover += "Hover.Gif";
            strPressed += "Pressed.Gif";
            button.SetPictures(strNormal, strHover, strPressed);
        }
        button.show();
    }
    SetMaximizeLook(1);

    if (m_bStartCheckPending != 0)
    {
        m_bStartCheckPending = 0;
        m_timerStartCheck.start(START_CHECK_DELAY_MS);
    }
    PlaceControls(width());
    return true;
}

void CMyDlgBar::SetUpdateDialogOpener(std::function<void(QWidget* pParent)> fnOpen)
{
    m_fnOpenUpdateDialog = std::move(fnOpen);
}

void CMyDlgBar::SetTitle(const CMyString& strTitle)
{
    m_Title.setText(ToQString(strTitle));
    PlaceTitle();
}

void CMyDlgBar::SetMaximizeLook(int32_t nState)
{
    if (nState == 3)
        m_btnMaximize.SetPictures("res/Skin/Restore.Gif", "res/Skin/RestoreHover.Gif",
                                  "res/Skin/RestorePressed.Gif");
    else
        m_btnMaximize.SetPictures("res/Skin/Maximize.Gif", "res/Skin/MaximizeHover.Gif",
                                  "res/Skin/MaximizePressed.Gif");
}

void CMyDlgBar::resizeEvent(QResizeEvent* pEvent)
{
    BaseDialogBar::resizeEvent(pEvent);
    PlaceControls(width());
}

void CMyDlgBar::PlaceControls(int nWidth)
{
    // Caption buttons from the right edge leftwards.
    m_btnClose.move(nWidth - CAPTION_BUTTONS_RIGHT - m_btnClose.width(), CAPTION_BUTTONS_Y);
    m_btnMaximize.move(m_btnClose.x() - CAPTION_BUTTONS_GAP - m_btnMaximize.width(),
                       CAPTION_BUTTONS_Y);
    m_btnMinimize.move(m_btnMaximize.x() - CAPTION_BUTTONS_GAP - m_btnMinimize.width(),
                       CAPTION_BUTTONS_Y);

    // The search group from the left edge rightwards: edit box, Search button, shown notices.
    m_EditBox.setGeometry(LEFT_GROUP_X, LEFT_GROUP_Y, m_EditBox.width(), EDIT_BOX_HEIGHT);
    m_btnSearch.move(LEFT_GROUP_X + m_EditBox.width() + LEFT_GROUP_GAP, LEFT_GROUP_Y);
    PlaceNotices();
    PlaceTitle();
}

void CMyDlgBar::PlaceNotices()
{
    int x = m_btnSearch.x() + m_btnSearch.width() + NOTICE_GAP;
    for (CMyOwnButton* pNotice : {&m_btnListsNotice, &m_btnVersionNotice})
    {
        if (pNotice->isHidden())
            continue;
        pNotice->move(x, m_btnSearch.y());
        x += pNotice->width() + NOTICE_GAP;
    }
}

void CMyDlgBar::PlaceTitle()
{
    const QWidget* pNeighbour = &m_btnSearch;
    if (!m_btnVersionNotice.isHidden())
        pNeighbour = &m_btnVersionNotice;
    else if (!m_btnListsNotice.isHidden())
        pNeighbour = &m_btnListsNotice;
    int nLeft = pNeighbour->x() + pNeighbour->width() + TITLE_GAP;
    int nRight = m_btnMinimize.x() - TITLE_GAP;
    int nTextHeight = QFontMetrics(m_Title.font()).height();
    int nTop = (height() - nTextHeight) / 2;
    m_Title.setGeometry(nLeft, nTop, std::max(0, nRight - nLeft), nTextHeight);
}

void CMyDlgBar::RedrawFrameUnderBar()
{
    if (QWidget* pParent = parentWidget())
        pParent->update(geometry());
    update();
}

void CMyDlgBar::paintEvent(QPaintEvent* /*pEvent*/)
{
    // Nothing: the frame paints the strip under the bar, and the controls paint themselves.
}

void CMyDlgBar::PostToFrame(uintptr_t uCode)
{
    PostWindowMessage(parentWidget(), MessageFromDlg(), uCode, 0);
}

void CMyDlgBar::PostToFrame(uintptr_t uCode, const CMyString& strText)
{
    PostWindowMessage(parentWidget(), MessageFromDlg(), uCode,
                      std::make_unique<CMyString>(strText));
}

const CSearchEngine* CMyDlgBar::ChooseEngine(bool bWebOnly) const
{
    if (bWebOnly)
        return m_Engines.GetEngine(0);
    if (m_nSelectedEngine == m_BuiltInEngine.m_nId)
        return &m_BuiltInEngine;
    return m_Engines.GetEngine(m_nSelectedEngine);
}

bool CMyDlgBar::IsUrl(const CMyString& strText)
{
    if (strText.IsEmpty() || strText.Find(' ') != MY_NOT_FOUND)
        return false;
    CMyString strLower(strText);
    strLower.MakeLower();
    return strLower.Find("ftp://") != MY_NOT_FOUND || strLower.Find("http://") == 0 ||
           strLower.Find("www.") == 0;
}

bool CMyDlgBar::BuildSearchRequest(CMyString& strRequest, bool bWebOnly)
{
    const CSearchEngine* pEngine = ChooseEngine(bWebOnly);
    if (pEngine == nullptr)
        return false;
    CMyString strText(m_EditBox.text());
    // The built-in engine searches the tree for the text as typed; addresses are opened as
    // typed; anything else becomes the engine's query.
    if (pEngine->m_nId == BUILT_IN_ENGINE_ID || IsUrl(strText))
        strRequest = strText;
    else
        strRequest = pEngine->BuildQuery(strText);
    return true;
}

CMyString CMyDlgBar::GetWebSearchRequest()
{
    CMyString strRequest;
    if (!BuildSearchRequest(strRequest, true))
        strRequest.Empty();
    return strRequest;
}

void CMyDlgBar::DoSearch()
{
    CMyString strRequest;
    if (!BuildSearchRequest(strRequest, false) || strRequest.IsEmpty())
        return;
    PostToFrame(m_nSelectedEngine == BUILT_IN_ENGINE_ID ? CODE_SEARCH_TREE : CODE_OPEN_ADDRESS,
                strRequest);
}

void CMyDlgBar::OnSearchClicked()
{
    // A press on the arrow opened the menu; it is no search.
    if (m_btnSearch.IsArrowDown())
        return;
    uint32_t uNow = TickCount();
    uint32_t uElapsed = uNow - m_uLastClickTime;
    m_uLastClickTime = uNow;
    // The release of the press that closed the engine menu arrives here too.
    if (uElapsed < CLICK_GUARD_MS)
        return;
    DoSearch();
}

void CMyDlgBar::OnEngineArrowPressed()
{
    if (TickCount() - m_uLastClickTime > CLICK_GUARD_MS)
        ShowEngineMenu();
    m_uLastClickTime = TickCount();
    m_btnSearch.ClearArrowDown();
}

void CMyDlgBar::ShowEngineMenu()
{
    CMenuXP menu;
    menu.CreatePopupMenu();
    menu.AddSideBar(std::make_unique<CMenuXPSideBar>(16, CMyString()));
    menu.AppendODMenu(0, std::make_unique<CMenuXPText>(static_cast<uint32_t>(m_BuiltInEngine.m_nId),
                                                       m_BuiltInEngine.m_strCaption,
                                                       m_BuiltInEngine.m_strImagePath));
    m_Engines.AddToMenu(menu);
    uint32_t uDefault = m_nSelectedEngine == BUILT_IN_ENGINE_ID
                            ? static_cast<uint32_t>(BUILT_IN_ENGINE_ID)
                            : static_cast<uint32_t>(m_nSelectedEngine + 1);
    menu.SetMenuDefaultItem(uDefault);
    QPoint ptBottomLeft = m_btnSearch.mapToGlobal(QPoint(0, m_btnSearch.height()));
    uint32_t uCommand = menu.TrackPopupMenu(ptBottomLeft);
    SelectEngine(uCommand);
}

void CMyDlgBar::SelectEngine(uint32_t uCommand)
{
    if (uCommand == 0)
        return;
    int32_t nSelection = uCommand == static_cast<uint32_t>(BUILT_IN_ENGINE_ID)
                             ? BUILT_IN_ENGINE_ID
                             : static_cast<int32_t>(uCommand) - 1;
    if (nSelection == m_nSelectedEngine)
        return;
    m_nSelectedEngine = nSelection;
    UpdateSearchButton();
    if (!m_EditBox.text().isEmpty())
        DoSearch();
}

void CMyDlgBar::UpdateSearchButton()
{
    if (const CSearchEngine* pEngine = ChooseEngine(false))
    {
        m_btnSearch.SetPictures(pEngine->m_strImagePath, CMyString(), CMyString());
        m_btnSearch.setText(ToQString(pEngine->m_strCaption));
    }
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    int nWidth = QFontMetrics(font).horizontalAdvance(m_btnSearch.text()) + SEARCH_BUTTON_EXTRA;
    if (nWidth == m_btnSearch.width())
        return;
    m_btnSearch.resize(nWidth, m_btnSearch.height());
    PlaceNotices();
    PlaceTitle();
    RedrawFrameUnderBar();
}

void CMyDlgBar::ShowNotices(uint32_t nNotices, const CMyString& strNewVersionUrl)
{
    m_nNotices = nNotices;
    m_strNewVersionUrl = strNewVersionUrl;
    if ((m_nNotices & NOTICE_LISTS) != 0)
    {
        m_btnListsNotice.SetGradientFace(true, true);
        m_btnListsNotice.setAttribute(Qt::WA_ShowWithoutActivating);
        m_btnListsNotice.show();
    }
    if ((m_nNotices & NOTICE_VERSION) != 0)
    {
        m_btnVersionNotice.SetGradientFace(true, true);
        m_btnVersionNotice.setAttribute(Qt::WA_ShowWithoutActivating);
        m_btnVersionNotice.show();
    }
    PlaceNotices();
    PlaceTitle();
    RedrawFrameUnderBar();
    m_bBlinkPhase = 1;
    m_uBlinkCount = 0;
    m_timerBlink.start(BLINK_INTERVAL_MS);
}

void CMyDlgBar::OnBlinkTimer()
{
    if ((m_nNotices & NOTICE_LISTS) != 0)
        m_btnListsNotice.SetGradientFace(true, m_bBlinkPhase != 0);
    if ((m_nNotices & NOTICE_VERSION) != 0)
        m_btnVersionNotice.SetGradientFace(true, m_bBlinkPhase != 0);
    m_bBlinkPhase = m_bBlinkPhase != 0 ? 0 : 1;
    ++m_uBlinkCount;
    if (m_uBlinkCount < BLINK_COUNT)
        return;
    m_timerBlink.stop();
    m_uBlinkCount = 0;
    m_btnListsNotice.SetGradientFace(true, false);
    m_btnVersionNotice.SetGradientFace(true, false);
}

void CMyDlgBar::OnStartCheckTimer()
{
    m_timerStartCheck.stop();
    // The check walks the servers and downloads; it runs on a thread of its own and queues its
    // result, by value, to the user-interface thread, where the notices are shown; the thread
    // does not wait for it. A bar destroyed meanwhile receives nothing: the call finds its guard
    // empty.
    QPointer<CMyDlgBar> pBar(this);
    std::thread(
        [pBar]
        {
            uint32_t uFlags = 0;
            CMyString strProgramAddress;
            if (!CUpdateCheck::CheckForUpdates(uFlags, strProgramAddress))
                return;
            CallOnApplicationThread(
                [pBar, uFlags, strProgramAddress]
                {
                    if (!pBar.isNull())
                        pBar->ShowNotices(uFlags, strProgramAddress);
                });
        })
        .detach();
}

void CMyDlgBar::OnListsNoticeClicked()
{
    if (m_fnOpenUpdateDialog)
        m_fnOpenUpdateDialog(window());
}

void CMyDlgBar::OnVersionNoticeClicked()
{
    PostToFrame(CODE_OPEN_ADDRESS, m_strNewVersionUrl);
}

bool CMyDlgBar::event(QEvent* pEvent)
{
    CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
    if (pMessage == nullptr)
        return BaseDialogBar::event(pEvent);
    uint32_t uMessage = pMessage->GetMessage();
    if (uMessage == ButtonTwoStateClickedMessage())
    {
        if (pMessage->GetWParam() == reinterpret_cast<uintptr_t>(&m_btnSearch))
            OnEngineArrowPressed();
    }
    else if (uMessage == EditBoxReturnMessage())
        DoSearch();
    else
        return BaseDialogBar::event(pEvent);
    pMessage->SetResult(0);
    return true;
}

void CMyDlgBar::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
    {
        BaseDialogBar::mousePressEvent(pEvent);
        return;
    }
    // The drag starts with the first move, so that a double click still reaches the bar.
    m_bDragging = 1;
    m_ptDragStart = pEvent->position().toPoint();
    pEvent->accept();
}

void CMyDlgBar::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (m_bDragging == 0)
    {
        BaseDialogBar::mouseMoveEvent(pEvent);
        return;
    }
    if ((pEvent->buttons() & Qt::LeftButton) == 0)
    {
        m_bDragging = 0;
        return;
    }
    QPoint ptOffset = pEvent->position().toPoint() - m_ptDragStart;
    if (ptOffset.isNull())
        return;
    QWidget* pWindow = window();
    // The window system moves the window where it can (also on Wayland); elsewhere the window
    // follows the pointer by the move's offset.
    if (QWindow* pHandle = pWindow->windowHandle();
        pHandle != nullptr && pHandle->startSystemMove())
    {
        m_bDragging = 0;
        return;
    }
    if (pWindow != this)
        pWindow->move(pWindow->pos() + ptOffset);
}

void CMyDlgBar::mouseReleaseEvent(QMouseEvent* pEvent)
{
    m_bDragging = 0;
    BaseDialogBar::mouseReleaseEvent(pEvent);
}

void CMyDlgBar::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
    {
        m_bDragging = 0;
        PostToFrame(ID_MAXIMIZE);
        return;
    }
    BaseDialogBar::mouseDoubleClickEvent(pEvent);
}
