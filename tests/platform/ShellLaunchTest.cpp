#include "platform/ShellLaunch.h"

#include "TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace
{
class ShellLaunch : public ScratchHome
{
protected:
    bool Exists(const std::string& strName) const { return std::filesystem::exists(Path(strName)); }
    bool WaitForFile(const std::string& strName) const
    {
        for (int i = 0; i < 1000 && !Exists(strName); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Exists(strName);
    }
};
} // namespace

TEST_F(ShellLaunch, ArgumentsReachTheProgramUnchanged)
{
    // Through a shell this name would run a command, split into words and be redirected.
    const std::string strName = "a b $(touch x);|&>y '\"*";
    ASSERT_TRUE(LaunchProgram("touch", {Path(strName).c_str()}));
    EXPECT_TRUE(WaitForFile(strName));
    EXPECT_FALSE(Exists("x") || Exists("y"));

    EXPECT_FALSE(LaunchProgram("", {}));
    EXPECT_FALSE(LaunchProgram("orvanta-no-such-program", {"x"}));
    EXPECT_FALSE(LaunchProgram(Path("missing").c_str(), {}));
    EXPECT_FALSE(OpenPage(Path("missing").c_str(), "http://127.0.0.1/"));
}

TEST_F(ShellLaunch, OpenPageGivesTheUrlAsOneArgumentToTheBrowserOrXdgOpen)
{
    // A browser that writes its argument count and first argument to "out".
    Write("xdg-open",
          "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\"\nmv \"$0.tmp\" \"${0%/*}/out\"\n");
    chmod(Path("xdg-open").c_str(), 0755);
    const char* pszUrl = "http://127.0.0.1/find?a=1&b=2;c=$(x) 'd'";
    ASSERT_TRUE(OpenPage(Path("xdg-open").c_str(), pszUrl));
    ASSERT_TRUE(WaitForFile("out"));
    EXPECT_EQ(Read("out"), std::string("1|") + pszUrl);
}

TEST_F(ShellLaunch, OnlyWebAddressesReachTheBrowser)
{
    const std::pair<const char*, const char*> cases[] = {
        {"https://example.org/x?y", "https://example.org/x?y"},
        {"HTTP://Example.org", "HTTP://Example.org"},
        {"www.Example.org/a?b=C", "http://www.Example.org/a?b=C"},
        {"file:///etc/passwd", ""},
        {"/usr/bin/xterm", ""},
        {"--remote-debugging-port=9222", ""},
        {"javascript:alert(1)", ""},
        {"ftp://example.org/", ""},
        {"", ""}};
    for (const auto& [pszUrl, pszAddress] : cases)
    {
        const CMyString strAddress = BrowserAddress(pszUrl);
        EXPECT_EQ(std::string(strAddress.IsEmpty() ? "" : strAddress.GetBuffer()), pszAddress)
            << pszUrl;
    }
    EXPECT_FALSE(OpenPage("", "file:///etc/passwd"));
}
