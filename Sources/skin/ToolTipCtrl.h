#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

// The one tooltip window of the main frame, shared by its controls: each control is registered
// as a tool with its text, which its owner may change later (the Mute button's tip follows the
// mute state, a preset's follows its station). The tips are drawn in the colours given to
// SetColors.
class CToolTipCtrl : public QObject
{
public:
    explicit CToolTipCtrl(QObject* pParent = nullptr);
    ~CToolTipCtrl() override;
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    // Background and text colour of every tip, as skin colours (red in the lowest byte).
    void SetColors(uint32_t clrBackground, uint32_t clrText);
    // While inactive no tip shows.
    void Activate(bool bActive) { m_bActive = bActive; }
    bool IsActive() const { return m_bActive; }

    // Registers the widget with a fixed text; registering again replaces the text.
    void AddTool(QWidget* pTool, const QString& strText);
    // The text of a registered widget changes, also in a tip that shows right now; nothing for
    // an unknown widget.
    void UpdateTipText(QWidget* pTool, const QString& strText);
    // The text of the widget's tip; empty for an unknown widget.
    QString GetText(QWidget* pTool) const;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QHash<QObject*, QString> m_tools;
    bool m_bActive = true;
};
