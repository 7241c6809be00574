// The window tests run the real station tree, player view, search bar, update dialog and main
// frame inside one QApplication on the offscreen platform, with the media player headless.
#include "host/WebBrowser2.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int nArgc, char** ppArgv)
{
    ::testing::InitGoogleTest(&nArgc, ppArgv);
    // Never open windows on the developer's desktop, also when the tests are only listed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ORVANTA_PLAYER_HEADLESS", "1", 0);
    CWebBrowser2::PrepareEnvironment();
    QApplication application(nArgc, ppArgv);
    return RUN_ALL_TESTS();
}
