// The main frame's bottom strip: the five preset stations with their messages to the user, the
// seven player controls with the mute state, and the banner page; how they are made, placed
// and answer their presses. The rest of the frame is in MainFrame.cpp.
#include "shell/MainFrame.h"

#include "config/FileHandler.h"
#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "directory/Station.h"
#include "host/WebBrowser2.h"
#include "shell/TelvaneView.h"
#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/MySlider.h"
#include "skin/ToolTipCtrl.h"
#include "text/MyXmlDom.h"

#include <algorithm>

namespace
{
// One player control of the bottom strip, in the order of m_ppControls.
struct CControlInfo
{
    uint32_t uCommandId;
    int32_t nWidth;
    const char* pszNormal;
    const char* pszHover;
    const char* pszPressed;
    const char* pszTip;
};
constexpr int32_t CONTROL_HEIGHT = 63;
constexpr CControlInfo CONTROLS[CMainFrame::CONTROL_COUNT] = {
    {ID_STOP, 55, "res/Skin/Stop.Gif", "res/Skin/StopHover.Gif", "res/Skin/StopPressed.Gif",
     "Stop"},
    {ID_PLAY, 52, "res/Skin/Play.Gif", "res/Skin/PlayHover.Gif", "res/Skin/PlayPressed.Gif",
     "Play"},
    {ID_PREVIOUS, 52, "res/Skin/Prev.Gif", "res/Skin/PrevHover.Gif", "res/Skin/PrevPressed.Gif",
     "Previous"},
    {ID_NEXT, 52, "res/Skin/Next.Gif", "res/Skin/NextHover.Gif", "res/Skin/NextPressed.Gif",
     "Next"},
    {ID_FULL_SCREEN, 55, "res/Skin/FullScreen.Gif", "res/Skin/FullScreenHover.Gif",
     "res/Skin/FullScreenPressed.Gif", "FullScreen"},
    // The slider's pictures are its face and its thumb.
    {ID_VOLUME, 19, "res/Skin/SliderBG.gif", "res/Skin/SliderButton.Gif", "", "Volume"},
    {ID_MUTE, 32, "res/Skin/MuteOn.Gif", "res/Skin/MuteOnHover.Gif", "res/Skin/MuteOnPressed.Gif",
     "Mute"},
};

constexpr const char* NO_STATION_SELECTED =
    "No Station Is Selected.\nTo Pre-Set A Station,Please Select A Station\nFrom The List And "
    "Then\nClick The Pre-Set Button Again";
constexpr const char* REPLACE_PRESET =
    "This Button Already Contains a Pre-Set Station.\n Would You Like To Replace It?";
constexpr const char* PRESET_DONE = "The Station Was Pre-Set Successfully";
constexpr const char* PRESET_EMPTY = "This Button Is Not Pre-Set Yet.\nSelect A Station From The "
                                     "List\nAnd Then Click The Upper Button.";
} // namespace

void CMainFrame::CreateBanner()
{
    const CMyString strResFolder = Settings().GetResFolder();
    if (strResFolder.IsEmpty())
        return;
    CMyXmlDom dom;
    if (!LoadSettingsFile(strResFolder, CMyString(MOVIES_SETTINGS_FILE), dom))
        return;
    const CXmlNode* pBanner = dom.GetRoot()->FindChild(CMyString("VELTRO_BANNER"));
    if (pBanner == nullptr)
        return;
    const CMyString strPage = pBanner->GetChildValue(CMyString("URL"));
    if (strPage.IsEmpty())
        return;
    m_strBannerUrl = m_strServerUrl;
    m_strBannerUrl.AppendPath(strPage);
    if (m_strBannerUrl.IsEmpty())
        return;

    // A child of the frame; the layout gives it its place and clips it to the part that shows.
    m_wndBanner = new CWebBrowser2(this);
    m_wndBanner->setGeometry(0, 0, 0, 0);
    m_bBannerShown = 1;
    m_wndBanner->put_Visible(true);
    m_wndBanner->Navigate(m_strBannerUrl);
}

void CMainFrame::CreateStations()
{
    for (int32_t nIndex = 0; nIndex < static_cast<int32_t>(PRESET_COUNT); ++nIndex)
    {
        auto* pStation = new CStation(this, nIndex, m_pToolTip);
        if (pStation->Create())
            m_arrStations.Add(pStation);
        else
            delete pStation;
    }
}

void CMainFrame::CreateControls()
{
    for (uint32_t uIndex = 0; uIndex < CONTROL_COUNT; ++uIndex)
    {
        const CControlInfo& info = CONTROLS[uIndex];
        const QRect rect(0, 0, info.nWidth, CONTROL_HEIGHT);
        CMyOwnButton* pControl = nullptr;
        if (uIndex == CONTROL_VOLUME)
        {
            auto* pSlider = new CMySlider();
            pSlider->SetPictures(info.pszNormal, info.pszHover, info.pszPressed);
            // The slider takes its track's scale from this rectangle and posts its levels here.
            pSlider->Create(this, rect);
            pControl = pSlider;
        }
        else
        {
            pControl = new CMyOwnButton(this);
            pControl->SetPictures(info.pszNormal, info.pszHover, info.pszPressed);
            pControl->setGeometry(rect);
            const uint32_t uCommandId = info.uCommandId;
            connect(pControl, &QPushButton::clicked, this,
                    [this, uCommandId] { OnCommand(uCommandId); });
        }
        m_ppControls[uIndex] = pControl;
        pControl->SetNotifyWindow(this);
        pControl->SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
        pControl->SetTransparent(true);
        // The keyboard stays with the station tree when a control is clicked.
        pControl->setFocusPolicy(Qt::NoFocus);
        pControl->show();
        if (info.pszTip[0] != '\0')
            m_pToolTip->AddTool(pControl, QString::fromUtf8(info.pszTip));
    }
}

void CMainFrame::PlaceBottomStrip(const CFrameLayout& layout)
{
    // The preset stations come first in the bottom strip; the controls follow the right edge of
    // the presets, at least 30.
    int32_t nNextX = PRESETS_MIN_RIGHT;
    for (uint32_t uIndex = 0; uIndex < m_arrStations.GetCount(); ++uIndex)
    {
        int32_t nRight = 0;
        GetStation(uIndex)->Layout(layout.ptPresets.x(), layout.ptPresets.y(), &nRight);
        nNextX = std::max(nNextX, nRight);
    }
    nNextX += CONTROLS_GAP;
    for (QWidget* pControl : m_ppControls)
    {
        if (pControl == nullptr)
            continue;
        pControl->move(nNextX, layout.nControlsTop);
        nNextX += pControl->width();
    }

    if (m_bBannerShown != 0 && m_wndBanner != nullptr)
    {
        m_wndBanner->setGeometry(layout.rcBanner);
        m_wndBanner->setMask(BANNER_VISIBLE_PART);
        m_rcBannerFrame = layout.rcBannerFrame;
    }
}

CStation* CMainFrame::GetStation(uint32_t uIndex) const
{
    return static_cast<CStation*>(m_arrStations.GetAtOrNull(uIndex));
}

QWidget* CMainFrame::GetControl(uint32_t uIndex) const
{
    return uIndex < CONTROL_COUNT ? m_ppControls[uIndex] : nullptr;
}

intptr_t CMainFrame::OnButtonTwoStateClicked(uintptr_t wParam)
{
    const auto* pButton = reinterpret_cast<const QObject*>(wParam);
    // One preset dialog at a time: a press while a preset's message box is open is dropped.
    if (m_bPresetBusy)
        return 0;
    for (uint32_t uIndex = 0; uIndex < m_arrStations.GetCount(); ++uIndex)
    {
        CStation* pStation = GetStation(uIndex);
        if (pButton == pStation->GetStationButton())
        {
            m_pPressedPreset = pStation->GetStationButton();
            PlayPreset(pStation);
            break;
        }
        if (pButton == pStation->GetPresetButton())
        {
            m_pPressedPreset = pStation->GetPresetButton();
            PresetSelectedStation(pStation);
            break;
        }
    }
    return 0;
}

void CMainFrame::PlayPreset(CStation* pStation)
{
    if (pStation->GetName().IsEmpty() || pStation->GetUrl().IsEmpty())
        ShowMessage(PRESET_EMPTY, CMyMessageBox::TYPE_OK);
    if (m_pPlayerView == nullptr)
        return;
    m_pPlayerView->SetStation(pStation->GetUrl(), pStation->GetName());
    m_pPlayerView->Play();
}

void CMainFrame::PresetSelectedStation(CStation* pStation)
{
    if (m_pTreeView == nullptr)
        return;
    const CStationItem* pItem = m_pTreeView->GetSelectedItem();
    if (pItem == nullptr || pItem->m_strUrl.IsEmpty() ||
        pItem->m_strUrl.IsEqualNoCase(CMyString(FOLDER_URL)))
    {
        ShowMessage(NO_STATION_SELECTED, CMyMessageBox::TYPE_OK);
        return;
    }
    // The record may change while the question is open (the tree reloads its icons); the
    // station is taken as it was when the button was pressed.
    const CMyString strUrl = pItem->m_strUrl;
    const CMyString strPath = pItem->m_strPath;
    if (!pStation->GetUrl().IsEmpty() &&
        ShowMessage(REPLACE_PRESET, CMyMessageBox::TYPE_YES_NO) != CMyMessageBox::RESULT_YES)
        return;

    pStation->SetStation(strUrl, strPath);
    Settings settings;
    settings.SetStationName(pStation->GetIndex(), strPath);
    settings.SetStationUrl(pStation->GetIndex(), strUrl);
    pStation->SetPresetState(true);
    pStation->UpdateTooltip();
    ShowMessage(PRESET_DONE, CMyMessageBox::TYPE_OK);
}

int CMainFrame::ShowMessage(const char* pszText, uint32_t nType)
{
    // The box takes the mouse before the pressed button sees its release: the button must not
    // stay down behind it.
    if (!m_pPressedPreset.isNull())
        m_pPressedPreset->setDown(false);
    m_bPresetBusy = true;
    CMyMessageBox box{CMyString(pszText), nType};
    const int nResult = box.exec();
    m_bPresetBusy = false;
    return nResult;
}

void CMainFrame::ApplyMute(bool bMute)
{
    auto* pMute = dynamic_cast<CMyOwnButton*>(m_ppControls[CONTROL_MUTE]);
    if (pMute != nullptr && m_pToolTip != nullptr)
    {
        if (bMute)
        {
            pMute->SetPictures("res/Skin/MuteOff.Gif", "res/Skin/MuteOffHover.Gif",
                               "res/Skin/MuteOffPressed.Gif");
            m_pToolTip->UpdateTipText(pMute, QStringLiteral("Cancel Mute"));
        }
        else
        {
            pMute->SetPictures("res/Skin/MuteOn.Gif", "res/Skin/MuteOnHover.Gif",
                               "res/Skin/MuteOnPressed.Gif");
            m_pToolTip->UpdateTipText(pMute, QStringLiteral("Mute"));
        }
        pMute->update();
    }
    if (m_pPlayerView != nullptr)
        m_pPlayerView->SetMute(bMute);
}
