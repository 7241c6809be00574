#include "platform/ShellLaunch.h"

#include <string_view>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char** environ;

bool LaunchProgram(const CMyString& strProgram, const std::vector<CMyString>& arrArguments)
{
    if (strProgram.IsEmpty())
        return false;

    // posix_spawnp takes non-const pointers but does not write through them.
    char szEmpty[] = "";
    std::vector<char*> arrArgv;
    arrArgv.reserve(arrArguments.size() + 2);
    arrArgv.push_back(strProgram.GetBuffer());
    for (const CMyString& strArgument : arrArguments)
        arrArgv.push_back(strArgument.IsEmpty() ? szEmpty : strArgument.GetBuffer());
    arrArgv.push_back(nullptr);

    // The child starts with no blocked signals and with SIGPIPE at its default, whatever the
    // calling thread had set up for itself.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t setSignals;
    sigemptyset(&setSignals);
    posix_spawnattr_setsigmask(&attr, &setSignals);
    sigaddset(&setSignals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &setSignals);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    int nError =
        posix_spawnp(&pid, strProgram.GetBuffer(), nullptr, &attr, arrArgv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (nError != 0)
        return false;

    // Nobody waits for the program; a background thread collects its exit so no zombie stays.
    // Should no thread be available, the program still runs; its exit is collected only after
    // this process ends.
    try
    {
        std::thread(
            [pid]
            {
                while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR)
                {
                }
            })
            .detach();
    }
    catch (const std::system_error&)
    {
    }
    return true;
}

CMyString BrowserAddress(const CMyString& strUrl)
{
    if (strUrl.IsEmpty())
        return CMyString();
    const std::string_view address(strUrl.GetBuffer());
    const auto startsWith = [&address](std::string_view prefix)
    {
        return address.size() >= prefix.size() &&
               IsEqualNoCaseAscii(address.substr(0, prefix.size()), prefix);
    };
    if (startsWith("http://") || startsWith("https://"))
        return strUrl;
    // A typed host name without a scheme is a web address; the desktop's opener would take it
    // for a file name.
    if (startsWith("www."))
    {
        CMyString strAddress("http://");
        strAddress += strUrl;
        return strAddress;
    }
    return CMyString();
}

bool OpenPage(const CMyString& strBrowser, const CMyString& strUrl)
{
    const CMyString strAddress = BrowserAddress(strUrl);
    if (strAddress.IsEmpty())
        return false;
    return LaunchProgram(strBrowser.IsEmpty() ? CMyString("xdg-open") : strBrowser, {strAddress});
}
