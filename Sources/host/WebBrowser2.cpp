#include "host/WebBrowser2.h"

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <cstdlib>
#include <unistd.h>

CWebBrowser2::CWebBrowser2(QWidget* pParent) : QWebEngineView(pParent)
{
    setObjectName("explorer");
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CWebBrowser2::PrepareEnvironment()
{
    // The engine reads this only from the environment; a command-line switch comes too late.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void CWebBrowser2::Navigate(const CMyString& strURL)
{
    if (strURL.IsEmpty())
        return;
    load(QUrl(ToQString(strURL)));
}
