#include "skin/MyEditBox.h"

#include "platform/MessageVocabulary.h"

#include <QKeyEvent>

CMyEditBox::CMyEditBox(QWidget* pParent) : QLineEdit(pParent) {}

void CMyEditBox::keyPressEvent(QKeyEvent* pEvent)
{
    // The box handles the key first, so the receiver finds the text as the user sees it.
    QPointer<CMyEditBox> pSelf(this);
    QLineEdit::keyPressEvent(pEvent);
    if (pSelf.isNull())
        return;
    int nKey = pEvent->key();
    if (nKey != Qt::Key_Return && nKey != Qt::Key_Enter)
        return;
    // Enter is answered here; it must not also press a dialog's default button.
    pEvent->accept();
    if (!m_pNotifyWnd.isNull())
        SendWindowMessage(m_pNotifyWnd, EditBoxReturnMessage(), 0, 0);
}
