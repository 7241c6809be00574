#include "platform/ShellLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

class ShellLaunch : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string strTemplate = testing::TempDir() + "launchXXXXXX";
        ASSERT_NE(mkdtemp(strTemplate.data()), nullptr);
        m_strFolder = strTemplate + "/";
    }
    void TearDown() override { std::filesystem::remove_all(m_strFolder); }

    // Writes an executable script that stores its argument count and first argument in "out".
    std::string WriteFakeBrowser(const std::string& strName)
    {
        std::string strPath = m_strFolder + strName;
        std::ofstream(strPath) << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\"\n"
                                  "mv \"$0.tmp\" \"${0%/*}/out\"\n";
        chmod(strPath.c_str(), 0755);
        return strPath;
    }

    // The launched program runs on its own, so its effect is awaited.
    static bool WaitForFile(const std::string& strPath)
    {
        for (int i = 0; i < 1000 && access(strPath.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return access(strPath.c_str(), F_OK) == 0;
    }

    std::string ReadOut()
    {
        std::stringstream stream;
        if (WaitForFile(m_strFolder + "out"))
            stream << std::ifstream(m_strFolder + "out").rdbuf();
        return stream.str();
    }

    std::string m_strFolder;
};

} // namespace

TEST_F(ShellLaunch, ArgumentsReachTheProgramUnchanged)
{
    // Through a shell this name would run a command, split into several words and be redirected.
    std::string strFile = m_strFolder + "a b $(touch x);|&>y '\"*";
    ASSERT_TRUE(LaunchProgram("touch", {strFile.c_str()}));
    EXPECT_TRUE(WaitForFile(strFile));
    EXPECT_NE(access((m_strFolder + "x").c_str(), F_OK), 0);
    EXPECT_NE(access((m_strFolder + "y").c_str(), F_OK), 0);
}

TEST_F(ShellLaunch, ProgramsThatCannotStart)
{
    EXPECT_FALSE(LaunchProgram("", {}));
    EXPECT_FALSE(LaunchProgram("orvanta-no-such-program", {"x"}));
    EXPECT_FALSE(LaunchProgram((m_strFolder + "missing").c_str(), {}));
    EXPECT_FALSE(OpenPage((m_strFolder + "missing").c_str(), "http://127.0.0.1/"));
}

TEST_F(ShellLaunch, OpenPageGivesTheUrlAsOneArgument)
{
    const char* pszUrl = "http://127.0.0.1/find?a=1&b=2;c=$(x) 'd'";
    ASSERT_TRUE(OpenPage(WriteFakeBrowser("browser").c_str(), pszUrl));
    EXPECT_EQ(ReadOut(), std::string("1|") + pszUrl);
}

TEST_F(ShellLaunch, OpenPageWithoutBrowserUsesXdgOpen)
{
    WriteFakeBrowser("xdg-open");
    std::string strOldPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("PATH", (m_strFolder + ":" + strOldPath).c_str(), 1);
    bool bStarted = OpenPage("", "http://127.0.0.1/page");
    setenv("PATH", strOldPath.c_str(), 1);
    ASSERT_TRUE(bStarted);
    EXPECT_EQ(ReadOut(), "1|http://127.0.0.1/page");
}
