#include "directory/Station.h"

#include "config/Settings.h"
#include "skin/MyOwnButton.h"
#include "skin/ToolTipCtrl.h"

#include <QWidget>

namespace
{
constexpr const char* EMPTY_PRESET_TIP = "To Pre-Set A Station Click The Button Above";
constexpr const char* PRESET_BUTTON_TIP = "Pre-Set A Station";

// A picture-only button of the preset column that reports its press to the parent.
CMyOwnButton* CreatePictureButton(QWidget* pParent, int32_t nHeight)
{
    auto* pButton = new CMyOwnButton(pParent);
    pButton->setGeometry(0, 0, CStation::STATION_BUTTON_WIDTH, nHeight);
    pButton->SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    pButton->SetTransparent(true);
    pButton->SetNotifyWindow(pParent);
    pButton->SetNotifyOnPress(true);
    // A click on a preset leaves the keyboard with the station tree.
    pButton->setFocusPolicy(Qt::NoFocus);
    pButton->show();
    return pButton;
}
} // namespace

CStation::CStation(QWidget* pParent, int32_t nIndex, CToolTipCtrl* pToolTip)
    : m_nIndex(nIndex), m_pParent(pParent), m_pToolTip(pToolTip)
{
}

CStation::~CStation()
{
    delete m_pStationButton.data();
    delete m_pPresetButton.data();
}

bool CStation::Create()
{
    if (m_pParent.isNull() || m_nIndex < 0)
        return false;

    m_pStationButton = CreatePictureButton(m_pParent, STATION_BUTTON_HEIGHT);
    m_pStationButton->SetPictures("res/Skin/Station.Gif", "res/Skin/StationHover.Gif",
                                  "res/Skin/StationPressed.Gif");
    m_pPresetButton = CreatePictureButton(m_pParent, PRESET_BUTTON_HEIGHT);

    Settings settings;
    m_strName = settings.GetStationName(m_nIndex);
    m_strUrl = settings.GetStationUrl(m_nIndex);
    // Half a preset (one value missing) counts as none; the store keeps what it has.
    if (!m_strName.IsEmpty() && !m_strUrl.IsEmpty())
    {
        SetPresetState(true);
    }
    else
    {
        m_strName.Empty();
        m_strUrl.Empty();
        SetPresetState(false);
    }

    if (!m_pToolTip.isNull())
    {
        m_pToolTip->AddTool(m_pStationButton, GetTooltipText());
        m_pToolTip->AddTool(m_pPresetButton, QString::fromUtf8(PRESET_BUTTON_TIP));
    }
    UpdateTooltip();
    return true;
}

void CStation::Layout(int32_t x, int32_t y, int32_t* pnRight)
{
    if (m_pStationButton.isNull() || m_pPresetButton.isNull())
        return;
    const int32_t nLeft = x + m_nIndex * (m_pStationButton->width() + COLUMN_GAP);
    m_pPresetButton->move(nLeft, y);
    m_pStationButton->move(nLeft, y + m_pPresetButton->height());
    if (pnRight != nullptr)
        *pnRight = nLeft + m_pStationButton->width();
}

void CStation::SetPresetState(bool bOn)
{
    m_bIsSet = bOn ? 1 : 0;
    if (m_pPresetButton.isNull())
        return;
    if (bOn)
        m_pPresetButton->SetPictures("res/Skin/PresetOn.Gif", "res/Skin/PresetOnHover.Gif",
                                     "res/Skin/PresetOnPressed.Gif");
    else
        m_pPresetButton->SetPictures("res/Skin/PresetOff.Gif", "res/Skin/PresetOffHover.Gif",
                                     "res/Skin/PresetOffPressed.Gif");
    m_pPresetButton->update();
}

QString CStation::GetTooltipText() const
{
    if (m_bIsSet != 0 && !m_strName.IsEmpty())
        return ToQString(m_strName);
    return QString::fromUtf8(EMPTY_PRESET_TIP);
}

void CStation::UpdateTooltip()
{
    if (!m_pToolTip.isNull() && !m_pStationButton.isNull())
        m_pToolTip->UpdateTipText(m_pStationButton, GetTooltipText());
}

void CStation::SetStation(const CMyString& strUrl, const CMyString& strName)
{
    m_strUrl = strUrl;
    m_strName = strName;
}
