#include "platform/ProgramOutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

bool CaptureProgramOutput(const CMyString& strProgram, const std::vector<CMyString>& arrArguments,
                          int nTimeoutMs, std::string& output, size_t uMaxBytes)
{
    output.clear();
    if (strProgram.IsEmpty())
        return false;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;

    std::vector<char*> argv;
    argv.push_back(strProgram.GetBuffer());
    for (const CMyString& strArgument : arrArguments)
        argv.push_back(strArgument.IsEmpty() ? const_cast<char*>("") : strArgument.GetBuffer());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int nSpawnError =
        posix_spawnp(&pid, strProgram.GetBuffer(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (nSpawnError != 0)
    {
        close(pipeFds[0]);
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    bool bTimedOut = false;
    for (;;)
    {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0)
        {
            bTimedOut = true;
            break;
        }
        pollfd poller{pipeFds[0], POLLIN, 0};
        const int nReady = poll(&poller, 1, static_cast<int>(remaining.count()));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
        {
            bTimedOut = nReady == 0;
            break;
        }
        char block[4096];
        const ssize_t nRead = read(pipeFds[0], block, sizeof block);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            break;
        if (output.size() < uMaxBytes)
            output.append(block, std::min(static_cast<size_t>(nRead), uMaxBytes - output.size()));
    }
    close(pipeFds[0]);

    // A program may close its output and still run on: it gets until the deadline to end.
    int nStatus = 0;
    pid_t ended = 0;
    while (!bTimedOut && (ended = waitpid(pid, &nStatus, WNOHANG)) == 0)
    {
        bTimedOut = std::chrono::steady_clock::now() >= deadline;
        if (!bTimedOut)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended != pid)
    {
        kill(pid, SIGKILL);
        while (waitpid(pid, &nStatus, 0) < 0 && errno == EINTR)
        {
        }
    }
    return !bTimedOut && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}
