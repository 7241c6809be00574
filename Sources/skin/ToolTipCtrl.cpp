#include "skin/ToolTipCtrl.h"

#include "skin/MyOwnButton.h"

#include <QCursor>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

CToolTipCtrl::CToolTipCtrl(QObject* pParent) : QObject(pParent) {}

CToolTipCtrl::~CToolTipCtrl()
{
    for (auto it = m_tools.cbegin(); it != m_tools.cend(); ++it)
        it.key()->removeEventFilter(this);
}

void CToolTipCtrl::SetColors(uint32_t clrBackground, uint32_t clrText)
{
    // Qt draws every tip of the process with one palette.
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, SkinColor(clrBackground));
    palette.setColor(QPalette::ToolTipText, SkinColor(clrText));
    QToolTip::setPalette(palette);
}

void CToolTipCtrl::AddTool(QWidget* pTool, const QString& strText)
{
    if (pTool == nullptr)
        return;
    if (!m_tools.contains(pTool))
    {
        pTool->installEventFilter(this);
        // A tool that goes away is forgotten with it.
        connect(pTool, &QObject::destroyed, this,
                [this](QObject* pGone) { m_tools.remove(pGone); });
    }
    m_tools.insert(pTool, strText);
}

void CToolTipCtrl::UpdateTipText(QWidget* pTool, const QString& strText)
{
    auto found = m_tools.find(pTool);
    if (found == m_tools.end())
        return;
    *found = strText;
    if (QToolTip::isVisible() && pTool->underMouse() && m_bActive)
        QToolTip::showText(QCursor::pos(), strText, pTool);
}

QString CToolTipCtrl::GetText(QWidget* pTool) const
{
    return m_tools.value(pTool);
}

bool CToolTipCtrl::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() != QEvent::ToolTip || !m_tools.contains(pWatched))
        return QObject::eventFilter(pWatched, pEvent);
    const QString strText = m_bActive ? m_tools.value(pWatched) : QString();
    if (strText.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent*>(pEvent)->globalPos(), strText,
                           static_cast<QWidget*>(pWatched));
    return true;
}
