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

// Every case gets its own runtime folder from ScratchHome, so locks never meet those of other
// tests.
class SingleInstanceLock : public ScratchHome
{
protected:
    // Runs fnChild in a forked child and answers its exit status, or -1 when it was killed.
    template <typename Fn> static int InChild(Fn fnChild)
    {
        pid_t pid = fork();
        if (pid == 0)
            _exit(fnChild());
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }
};

} // namespace

TEST_F(SingleInstanceLock, OneHolderAtATimeInThisProcess)
{
    CSingleInstanceLock first, second;
    ASSERT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_TRUE(first.Acquire(LOCK_NAME));
    EXPECT_FALSE(second.Acquire(LOCK_NAME));
    EXPECT_FALSE(second.IsHeld());

    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_TRUE(second.Acquire(LOCK_NAME));
    {
        CSingleInstanceLock scoped;
        EXPECT_TRUE(scoped.Acquire("ZQ Scoped Mutex"));
    }
    EXPECT_TRUE(first.Acquire("ZQ Scoped Mutex")) << "the destructor gives the lock back";
}

TEST_F(SingleInstanceLock, OtherProcessesSeeItHeld_FreedWhenTheHolderDies)
{
    CSingleInstanceLock lock;
    ASSERT_TRUE(lock.Acquire(LOCK_NAME));
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? 1 : 0; }), 0);
    lock.Release();
    // A child that takes the lock and is killed while holding it.
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? raise(SIGKILL) : 1; }),
              -1);
    EXPECT_TRUE(lock.Acquire(LOCK_NAME));
}

TEST_F(SingleInstanceLock, LockFilePath)
{
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(),
                 (m_strRuntime + "/ZQ Marquint Mutex").c_str());
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath("a/../b").GetBuffer(),
                 (m_strRuntime + "/a_.._b").c_str());

    // Without a usable runtime folder the lock goes to /tmp, named for the user.
    std::string strTmp = "/tmp/ZQ Marquint Mutex-" + std::to_string(getuid());
    for (const char* pszRuntime : {"relative/run", "/nonexistent/orvanta-run", ""})
    {
        setenv("XDG_RUNTIME_DIR", pszRuntime, 1);
        EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(), strTmp.c_str());
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_STREQ(CSingleInstanceLock::LockFilePath(LOCK_NAME).GetBuffer(), strTmp.c_str());
}
