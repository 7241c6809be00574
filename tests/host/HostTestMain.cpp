// The host tests run real widgets, a real web engine and a real headless media player inside one
// QApplication (on the offscreen platform that CTest selects).
#include "host/WebBrowser2.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int nArgc, char** ppArgv)
{
    ::testing::InitGoogleTest(&nArgc, ppArgv);
    // Never open windows on the developer's desktop, also when the tests are only listed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    CWebBrowser2::PrepareEnvironment();
    QApplication application(nArgc, ppArgv);
    return RUN_ALL_TESTS();
}
