// The widget tests (skin and player) run inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int nArgc, char** ppArgv)
{
    ::testing::InitGoogleTest(&nArgc, ppArgv);
    // Never open windows on the developer's desktop, also when the tests are only listed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(nArgc, ppArgv);
    return RUN_ALL_TESTS();
}
