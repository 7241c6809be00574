#pragma once

#include "text/ArrayString.h"
#include "text/MyString.h"

#include <QPointer>
#include <QString>

#include <cstdint>

class CMyOwnButton;
class CToolTipCtrl;
class QWidget;

// One of the main window's five preset buttons: a column of two picture buttons, the small
// pre-set button above, whose picture shows whether the preset holds a station, and the station
// button below, which plays it. The preset keeps the station's address and its directory path
// in the settings store under "SOFTWARE\ORVANTA\Stations\<index>" ("Url", "Name"), so presets
// survive restarts. Both buttons report a press to the parent window with
// MESSAGE_BUTTON_TWO_STATE_CLICKED; the parent decides what a press does.
class CStation : public CSeed
{
public:
    static constexpr int32_t STATION_BUTTON_WIDTH = 29;
    static constexpr int32_t STATION_BUTTON_HEIGHT = 34;
    static constexpr int32_t PRESET_BUTTON_HEIGHT = 30;
    // Space between two preset columns.
    static constexpr int32_t COLUMN_GAP = 3;

    // The parent window (which receives the presses) and the shared tooltip control may be null.
    CStation(QWidget* pParent, int32_t nIndex, CToolTipCtrl* pToolTip);
    ~CStation() override;
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    // Builds both buttons as visible children of the parent, loads the stored preset and
    // registers the tooltips. False, with no buttons, without a parent or with a negative index.
    bool Create();
    // Places the column: both buttons at x + index * (29 + 3), the pre-set button at y, the
    // station button right below it. pnRight, when given, receives the station button's right
    // edge. Nothing happens before Create.
    void Layout(int32_t x, int32_t y, int32_t* pnRight);
    // Shows the on (set) or off (empty) pictures on the pre-set button.
    void SetPresetState(bool bOn);
    // The station button's tip: the station's path while the preset is set, otherwise an
    // invitation to pre-set one.
    void UpdateTooltip();
    // The text UpdateTooltip gives the station button.
    QString GetTooltipText() const;

    // The preset holds this station from now on (in memory; the caller stores it).
    void SetStation(const CMyString& strUrl, const CMyString& strName);

    bool IsSet() const { return m_bIsSet != 0; }
    int32_t GetIndex() const { return m_nIndex; }
    const CMyString& GetUrl() const { return m_strUrl; }
    const CMyString& GetName() const { return m_strName; }
    CMyOwnButton* GetStationButton() const { return m_pStationButton; }
    CMyOwnButton* GetPresetButton() const { return m_pPresetButton; }

private:
    uint32_t m_bIsSet = 0;
    int32_t m_nIndex;
    QPointer<QWidget> m_pParent;
    CMyString m_strUrl;
    CMyString m_strName;
    // Children of the parent window; deleted with the preset unless the parent took them first.
    QPointer<CMyOwnButton> m_pStationButton;
    QPointer<CMyOwnButton> m_pPresetButton;
    QPointer<CToolTipCtrl> m_pToolTip;
};
