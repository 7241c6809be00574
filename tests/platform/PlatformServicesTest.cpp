#include "TestSupport.h"
#include "platform/ConnectionCheck.h"
#include "platform/ShellLaunch.h"
#include "platform/SingleInstanceLock.h"
#include "platform/Trace.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// Without proxy variables from the caller's environment.
class ConnectionCheck : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* pszName : {"http_proxy", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            unsetenv(pszName);
    }
};

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

const char* const LOCK_NAME = "ZQ Marquint Mutex";

// Runs fnChild in a forked child and answers its exit status, or -1 when it was killed.
template <typename Fn> int InChild(Fn fnChild)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fnChild());
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

using SingleInstanceLock = ScratchHome;
} // namespace

TEST_F(ConnectionCheck, ListeningSilentAndClosedServersAndMalformedUrls)
{
    const CLocalSocket server(5);
    EXPECT_TRUE(CheckConnection(CMyString(server.Url().c_str()), 5));
    for (const char* pszUrl : {"", "not a url", "http://", "127.0.0.1", "://x", "http://[::1"})
        EXPECT_FALSE(CheckConnection(pszUrl, 5)) << pszUrl;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(CLocalSocket(-1).Url().c_str(), 30));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // With a backlog of 0 and the accept queue full, the kernel drops further connection
    // attempts: the next one waits until the caller gives up.
    const CLocalSocket silent(0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(silent.Port()));
    std::vector<int> arrClients;
    for (int i = 0; i < 4; ++i)
    {
        arrClients.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(arrClients.back(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    usleep(100000);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(CMyString(silent.Url().c_str()), 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    for (int nFd : arrClients)
        close(nFd);
}

TEST_F(ConnectionCheck, ConnectsThroughTheProxyFromTheEnvironment)
{
    const CLocalSocket server(5);
    const std::string strRefusing = CLocalSocket(-1).Url();
    setenv("http_proxy", strRefusing.c_str(), 1);
    EXPECT_FALSE(CheckConnection(CMyString(server.Url().c_str()), 5));
    setenv("http_proxy", server.Url().c_str(), 1);
    EXPECT_TRUE(CheckConnection(CMyString(strRefusing.c_str()), 5));
    unsetenv("http_proxy");
}

TEST_F(ShellLaunch, OpenPageGivesTheUrlAsOneArgumentToTheBrowserOrXdgOpen)
{
    // A browser that writes its argument count and first argument to "out". Through a shell the
    // address would run a command, split into words and be redirected.
    Write("xdg-open",
          "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\"\nmv \"$0.tmp\" \"${0%/*}/out\"\n");
    chmod(Path("xdg-open").c_str(), 0755);
    const char* pszUrl = "http://127.0.0.1/find?a=1&b=2;c=$(x) 'd'";
    ASSERT_TRUE(OpenPage(Path("xdg-open").c_str(), pszUrl));
    ASSERT_TRUE(WaitForFile("out"));
    EXPECT_EQ(Read("out"), std::string("1|") + pszUrl);
    EXPECT_FALSE(Exists("x"));
    EXPECT_FALSE(LaunchProgram("", {}));
    EXPECT_FALSE(LaunchProgram("orvanta-no-such-program", {"x"}));
    EXPECT_FALSE(OpenPage(Path("missing").c_str(), "http://127.0.0.1/"));
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

TEST_F(SingleInstanceLock, OneHolderAtATimeUntilReleaseOrDeath)
{
    CSingleInstanceLock first, second;
    ASSERT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_FALSE(second.Acquire(LOCK_NAME));
    first.Release();
    EXPECT_TRUE(second.Acquire(LOCK_NAME));
    second.Release();
    // A holder killed while holding it.
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? raise(SIGKILL) : 1; }),
              -1);
    EXPECT_TRUE(first.Acquire(LOCK_NAME));
}

TEST_F(SingleInstanceLock, KeptInAPrivateFolderAndOnlyALiveHolderRefuses)
{
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath("a/../b").GetBuffer(),
                 (m_strRuntime + "/a_.._b").c_str());
    // A runtime folder that is missing, relative or open to others is not used: the lock goes
    // to a folder of the user's own below TMPDIR.
    setenv("TMPDIR", m_strRoot.c_str(), 1);
    const std::string strOwn = Path("orvanta-" + std::to_string(getuid()));
    const std::string strOpen = Path("open-run");
    std::filesystem::create_directories(strOpen);
    chmod(strOpen.c_str(), 0705); // readable by others, though not by the group
    for (const std::string& strRuntime : {std::string("relative/run"), Path("missing"), strOpen})
    {
        setenv("XDG_RUNTIME_DIR", strRuntime.c_str(), 1);
        EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(),
                     (strOwn + "/" + LOCK_NAME).c_str());
    }
    EXPECT_EQ(std::filesystem::status(strOwn).permissions(), std::filesystem::perms::owner_all);
    // A lock file that cannot be opened, or a fallback folder that is not private, means no
    // lock at all: the start goes on instead of ending for ever.
    std::filesystem::create_directories(strOwn + "/" + LOCK_NAME);
    EXPECT_EQ(CSingleInstanceLock().TryAcquire(LOCK_NAME),
              CSingleInstanceLock::Result::Unavailable);
    std::filesystem::remove(strOwn + "/" + LOCK_NAME);
    chmod(strOwn.c_str(), 0755);
    EXPECT_EQ(CSingleInstanceLock().TryAcquire(LOCK_NAME),
              CSingleInstanceLock::Result::Unavailable);
    unsetenv("TMPDIR");
}

TEST(Trace, WritesOneLineOnlyWhenDebugIsSet)
{
    testing::internal::CaptureStderr();
    unsetenv("ORVANTA_DEBUG");
    Trace("hidden %d", 1);
    setenv("ORVANTA_DEBUG", "", 1);
    Trace("hidden %d", 2);
    setenv("ORVANTA_DEBUG", "1", 1);
    Trace("station %s, %d%%", "list empty", 3);
    unsetenv("ORVANTA_DEBUG");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "station list empty, 3%\n");
}
