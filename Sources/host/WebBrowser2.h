#pragma once

#include "text/MyString.h"

#include <QWebEngineView>

// The embedded web view of the start page and the banner: a child widget named "explorer" that
// navigates to a URL, can be shown and hidden, and never opens a context menu.
class CWebBrowser2 : public QWebEngineView
{
    Q_OBJECT

public:
    static constexpr uint32_t CONTROL_ID = 1025;

    explicit CWebBrowser2(QWidget* pParent = nullptr);
    ~CWebBrowser2() override = default;
    CWebBrowser2(const CWebBrowser2&) = delete;
    CWebBrowser2& operator=(const CWebBrowser2&) = delete;

    // To be called by main before the QApplication exists: the web engine's sandbox cannot run
    // as root, so it is switched off there, and the web view shares its OpenGL resources with
    // the video surface.
    static void PrepareEnvironment();

    // Loads the page; an empty URL is ignored.
    void Navigate(const CMyString& strURL);
    void SetVisible(bool bVisible) { setVisible(bVisible); }
    void put_Visible(bool bVisible) { SetVisible(bVisible); }
    bool GetVisible() const { return isVisible(); }
};
