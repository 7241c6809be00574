#pragma once

#include "text/MyString.h"

#include <QDialog>

#include <cstdint>

// The waiting window shown while the main window loads its lists: a small window above all
// others, centred on the screen, painted with the dialog gradient and one centred line of text.
// Only its owner ends it (done(0)); Escape and the window manager's close do nothing.
class CSplashDlg : public QDialog
{
public:
    // The size of the window in dialog units (see MapDialogUnits).
    static constexpr int WIDTH_DLU = 186;
    static constexpr int HEIGHT_DLU = 63;

    explicit CSplashDlg(QWidget* pParent = nullptr);
    ~CSplashDlg() override = default;

    // "Please Wait While Loading ORVANTA...": the loading text with the product name put in.
    static CMyString LoadingText();

    void reject() override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    uint32_t m_clrTop;
    uint32_t m_clrBottom;
    // The colour of the loading text.
    uint32_t m_clrText;
};
