#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

const char* const LOCK_NAME = "ZQ Marquint Mutex";

// Every case gets its own runtime folder, so locks never meet those of other tests.
class SingleInstanceLock : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* pszOld = getenv("XDG_RUNTIME_DIR"))
            m_strOldRuntime = pszOld;
        std::string strTemplate = testing::TempDir() + "runtimeXXXXXX";
        ASSERT_NE(mkdtemp(strTemplate.data()), nullptr);
        m_strRuntime = strTemplate;
        setenv("XDG_RUNTIME_DIR", m_strRuntime.c_str(), 1);
    }
    void TearDown() override
    {
        m_strOldRuntime ? setenv("XDG_RUNTIME_DIR", m_strOldRuntime->c_str(), 1)
                        : unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(m_strRuntime);
    }

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

    std::string m_strRuntime;
    std::optional<std::string> m_strOldRuntime;
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
    EXPECT_TRUE(first.Acquire("ZQ Other Mutex"));
    {
        CSingleInstanceLock scoped;
        EXPECT_TRUE(scoped.Acquire("ZQ Scoped Mutex"));
    }
    EXPECT_TRUE(first.Acquire("ZQ Scoped Mutex")) << "the destructor gives the lock back";
}

TEST_F(SingleInstanceLock, OtherProcessesSeeItHeld)
{
    CSingleInstanceLock lock;
    ASSERT_TRUE(lock.Acquire(LOCK_NAME));
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? 1 : 0; }), 0);
    lock.Release();
    EXPECT_EQ(InChild([] { return CSingleInstanceLock().Acquire(LOCK_NAME) ? 1 : 0; }), 1);
}

TEST_F(SingleInstanceLock, FreedWhenTheHolderDies)
{
    // The child takes the lock and is killed without releasing it.
    ASSERT_EQ(InChild(
                  []
                  {
                      CSingleInstanceLock lock;
                      if (lock.Acquire(LOCK_NAME))
                          raise(SIGKILL);
                      return 1;
                  }),
              -1);
    CSingleInstanceLock lock;
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
