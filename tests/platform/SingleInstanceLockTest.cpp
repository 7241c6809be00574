#include "platform/SingleInstanceLock.h"

#include "TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
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
    chmod(strOwn.c_str(), 0700);
    CSingleInstanceLock holder;
    EXPECT_EQ(holder.TryAcquire(LOCK_NAME), CSingleInstanceLock::Result::Acquired);
    EXPECT_EQ(CSingleInstanceLock().TryAcquire(LOCK_NAME),
              CSingleInstanceLock::Result::HeldElsewhere);
    unsetenv("TMPDIR");
}
