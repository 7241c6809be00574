#include "platform/SingleInstanceLock.h"

#include "TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
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

// Every case gets its own runtime folder, so locks never meet those of other tests.
using SingleInstanceLock = ScratchHome;
} // namespace

TEST_F(SingleInstanceLock, OneHolderAtATimeUntilReleaseOrDeath)
{
    CSingleInstanceLock first, second;
    ASSERT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_FALSE(second.Acquire(LOCK_NAME));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? 1 : 0; }), 0);
    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_TRUE(second.Acquire(LOCK_NAME));
    second.Release();

    // A child that takes the lock and is killed while holding it.
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? raise(SIGKILL) : 1; }),
              -1);
    EXPECT_TRUE(first.Acquire(LOCK_NAME));
}

TEST_F(SingleInstanceLock, LockFilePath)
{
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(),
                 (m_strRuntime + "/ZQ Marquint Mutex").c_str());
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath("a/../b").GetBuffer(),
                 (m_strRuntime + "/a_.._b").c_str());

    // Without a usable runtime folder the lock goes to /tmp, named for the user.
    const std::string strTmp = "/tmp/ZQ Marquint Mutex-" + std::to_string(getuid());
    for (const char* pszRuntime : {"relative/run", "/nonexistent/orvanta-run", ""})
    {
        setenv("XDG_RUNTIME_DIR", pszRuntime, 1);
        EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(), strTmp.c_str());
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(), strTmp.c_str());
}
