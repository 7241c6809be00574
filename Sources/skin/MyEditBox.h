#pragma once

#include <QLineEdit>
#include <QPointer>

#include <cstdint>

// A one-line edit box that reports the Enter key to a notify object: after the key has been
// handled by the box, MESSAGE_EDIT_BOX_VK_RETURN is sent to m_pNotifyWnd with both
// parameters 0. The key then goes no further (a dialog's default button does not see it).
class CMyEditBox : public QLineEdit
{
public:
    explicit CMyEditBox(QWidget* pParent = nullptr);
    ~CMyEditBox() override = default;

    // The receiver of the Enter notification; none initially.
    QPointer<QObject> m_pNotifyWnd;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
};
