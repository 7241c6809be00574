// orvanta-lists: a command-line tool for the authors of the program's settings lists. It turns
// plain list text into the scrambled form the program reads and back, with the program's own
// reader, and shows which servers of a server list answer.

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "config/Settings.h"
#include "net/UpdateCheck.h"

#include "DirectoryCommands.h"
#include "EngineCommands.h"
#include "ImportCommand.h"
#include "ListChecker.h"
#include "ReadBytes.h"
#include "platform/ConnectionCheck.h"
#include "platform/TemporaryFile.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char* const TOOL_NAME = "orvanta-lists";

enum ExitStatus
{
    EXIT_DONE = 0,
    EXIT_FAILED = 1,
    EXIT_USAGE = 2
};

struct SCommand
{
    const char* pszName;
    const char* pszArguments;
    int nMinArguments;
    int nMaxArguments;
    const char* pszHelp;
};

const SCommand COMMANDS[] = {
    {"scramble", "IN OUT", 2, 2,
     "Scrambles the plain text of IN (an XML list such as ServerSettings.txt) into OUT,\n"
     "byte for byte as the program reads it: NUL padding to whole 32-bit words, then the\n"
     "key of the settings files. OUT is replaced whole."},
    {"unscramble", "IN [OUT]", 1, 2,
     "Reads the scrambled list IN exactly as the program does and writes its plain text to\n"
     "OUT, or to standard output without OUT. A file scrambled with another key comes out as\n"
     "garbage."},
    {"servers", "RESDIR", 1, 1,
     "Reads RESDIR/ServerSettings.txt, prints its server URLs one a line in list order, then\n"
     "one line per server: the URL, a tab, and \"answers\" or \"does not answer\" after a\n"
     "connection check on its host (through the proxy named by http_proxy or https_proxy).\n"
     "Exit status 1 when the list cannot be read."},
    {"check-updates", "RESDIR", 1, 1,
     "Runs the program's silent update check against the servers of\n"
     "RESDIR/ServerSettings.txt, comparing with the list versions recorded in the user's\n"
     "settings. Prints \"flags<TAB>N\" (1: newer lists, 2: a newer program), then\n"
     "\"program<TAB>ADDRESS\" when a newer program exists and \"outdated<TAB>NAME\" for each\n"
     "outdated list. Exit status 1 when no server answers with an update description."},
    {"show", "RESDIR", 1, 1,
     "Loads the station directory of RESDIR (MoviesSettings.txt and the category files it\n"
     "names) exactly as the program does, without servers or icons, and prints one line per\n"
     "record in directory order: index, parent index (-1 at the top), type (1 station,\n"
     "0 folder), caption, path and URL, separated by tabs. A station with a USER_AGENT or\n"
     "REFERRER adds both as two more fields."},
    {"engines", "RESDIR", 1, 1,
     "Loads RESDIR/SearchSettings.txt as the program does and prints one line per search\n"
     "engine: id, separator (1/0), caption, prefix, placeholder and character set, separated\n"
     "by tabs."},
    {"query", "RESDIR ID TEXT", 3, 3,
     "Prints the address that search engine ID of RESDIR/SearchSettings.txt builds for TEXT\n"
     "(ID 100, the search of the station tree, prints TEXT itself)."},
    {"publish", "SRCDIR OUTDIR [--exe-version V --exe-url URL]", 2, 6,
     "From the plain list sources in SRCDIR (ServerSettings.txt, MoviesSettings.txt, the\n"
     "category files it names and SearchSettings.txt, each an XML text with its VERSION)\n"
     "writes the scrambled lists and a matching UpdateSettings.txt into OUTDIR, ready for any\n"
     "static HTTP server. --exe-version and --exe-url together add an EXE_UPDATE entry."},
    {"import-m3u", "PLAYLIST SRCDIR --category NAME [--file FILE]", 4, 6,
     "Reads the M3U or M3U8 playlist PLAYLIST and writes its stations as the category NAME\n"
     "into the plain list sources in SRCDIR: the category file FILE (by default the file the\n"
     "category already has, else one named after it) with one menu per group-title (\"Other\"\n"
     "for entries without one), stations in playlist order with their titles, tvg-logo as\n"
     "icon and #EXTVLCOPT http-user-agent / http-referrer as USER_AGENT / REFERRER; and the\n"
     "category's entry in SRCDIR/MoviesSettings.txt (made when missing). Changed files get a\n"
     "higher VERSION, ready for publish. The same address twice in one menu is kept once;\n"
     "comments, unknown directives, entries without an address and addresses that are not on\n"
     "the network are skipped and counted."},
    {"check", "SRCDIR|RESDIR", 1, 1,
     "Loads every list of the folder (plain sources or published, scrambled lists) as the\n"
     "program would and prints, as FILE:LINE: message, everything the program would skip or\n"
     "refuse without a word: categories without a file or with an unsafe file name, files\n"
     "that do not load, stations without caption or URL, addresses that are not on the\n"
     "network or that the player would cut at their last \"&\", duplicate captions in a menu,\n"
     "engines without PREFIX, versions that are not dotted, and UpdateSettings.txt entries\n"
     "whose file is missing or has another version. Exit status 0 when nothing was found,\n"
     "1 with findings."},
};

void PrintUsage(std::FILE* pOut)
{
    std::fprintf(pOut,
                 "Usage: %s COMMAND [ARGUMENTS]\n\n"
                 "Commands:\n",
                 TOOL_NAME);
    for (const SCommand& command : COMMANDS)
        std::fprintf(pOut, "  %s %s\n", command.pszName, command.pszArguments);
    std::fprintf(pOut,
                 "  help [COMMAND]\n\n"
                 "\"%s COMMAND --help\" explains one command.\n",
                 TOOL_NAME);
}

void PrintHelp()
{
    std::printf("%s: scrambles, unscrambles and checks the program's settings lists.\n\n",
                TOOL_NAME);
    PrintUsage(stdout);
    for (const SCommand& command : COMMANDS)
        std::printf("\n%s %s\n%s\n", command.pszName, command.pszArguments, command.pszHelp);
    std::printf("\nExit status: 0 when done, 1 on an error (unreadable input, unwritable output),\n"
                "2 for a wrong command line.\n");
}

void PrintCommandHelp(const SCommand& command)
{
    std::printf("Usage: %s %s %s\n\n%s\n", TOOL_NAME, command.pszName, command.pszArguments,
                command.pszHelp);
}

int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "%s: %s\n", TOOL_NAME, strMessage.c_str());
    return EXIT_FAILED;
}

std::string Reason(int nError)
{
    return nError != 0 ? std::string(": ") + std::strerror(nError) : std::string();
}

bool IsHelpOption(const char* pszArgument)
{
    return std::strcmp(pszArgument, "--help") == 0 || std::strcmp(pszArgument, "-h") == 0;
}

const SCommand* FindCommand(const char* pszName)
{
    for (const SCommand& command : COMMANDS)
        if (std::strcmp(command.pszName, pszName) == 0)
            return &command;
    return nullptr;
}

// Replaces a file with the bytes: a temporary file next to it is renamed over it, so a failed
// write never leaves half a list. Something that is not a regular file (a pipe, a terminal) is
// written directly. On failure answers the error number.
bool WriteBytes(const char* pszPath, const std::string& bytes, int& nError)
{
    nError = 0;
    struct stat info = {};
    if (::stat(pszPath, &info) == 0 && !S_ISREG(info.st_mode))
    {
        const int nFile = ::open(pszPath, O_WRONLY | O_CLOEXEC);
        const bool bWritten = nFile >= 0 && WriteAllBytes(nFile, bytes.data(), bytes.size());
        if (!bWritten)
            nError = errno;
        if (nFile >= 0)
            ::close(nFile);
        return bWritten;
    }

    CTemporaryFile temporary{CMyString(pszPath)};
    if (!temporary.IsOpen())
    {
        nError = temporary.GetError();
        return false;
    }
    // The new file gets the permissions any new file of the user gets.
    const mode_t uMask = ::umask(0);
    ::umask(uMask);
    ::fchmod(temporary.GetDescriptor(), 0666 & ~uMask);
    if (!WriteAllBytes(temporary.GetDescriptor(), bytes.data(), bytes.size()))
    {
        nError = errno;
        return false;
    }
    if (!temporary.Commit(true))
    {
        nError = temporary.GetError();
        return false;
    }
    return true;
}

int RunScramble(char** ppArguments)
{
    std::string bytes;
    int nError = 0;
    if (!ReadBytes(ppArguments[0], bytes, nError))
        return Fail(std::string("cannot read ") + ppArguments[0] + Reason(nError));
    if (!WriteBytes(ppArguments[1], CFileHandler::Scramble(bytes), nError))
        return Fail(std::string("cannot write ") + ppArguments[1] + Reason(nError));
    return EXIT_DONE;
}

int RunUnscramble(char** ppArguments, int nArguments)
{
    CMyString strText;
    if (!CFileHandler().ReadScrambledFile(ppArguments[0], strText))
        return Fail(std::string("cannot read ") + ppArguments[0]);
    const std::string text = strText.IsEmpty() ? std::string() : std::string(strText.GetBuffer());

    int nError = 0;
    if (nArguments == 2)
    {
        if (!WriteBytes(ppArguments[1], text, nError))
            return Fail(std::string("cannot write ") + ppArguments[1] + Reason(nError));
        return EXIT_DONE;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        return Fail("cannot write to standard output" + Reason(errno));
    return EXIT_DONE;
}

// Reads the server list of a res folder the way the program does; false (after saying why) when
// it cannot be read or is no server list. With bRecordVersion, the list's version is recorded
// as the program's reader records it, so that the list does not count as outdated.
bool ReadServerList(const char* pszResFolder, CArrayString& arrServers, bool bRecordVersion = false)
{
    CMyString strPath(pszResFolder);
    strPath.AppendPath(SERVER_SETTINGS_FILE);
    CMyString strText;
    if (!CFileHandler().ReadScrambledFile(strPath, strText))
    {
        Fail(std::string("cannot read ") + strPath.GetBuffer());
        return false;
    }
    CMyString strVersion;
    bool bHasVersion = false;
    if (!ParseServerList(strText, arrServers, strVersion, &bHasVersion))
    {
        Fail(std::string(strPath.GetBuffer()) +
             " is not a server list (damaged, or scrambled with another key)");
        return false;
    }
    if (bRecordVersion && bHasVersion)
        Settings().SetServerSettingsVersion(strVersion);
    return true;
}

int RunServers(char** ppArguments)
{
    CArrayString arrServers;
    if (!ReadServerList(ppArguments[0], arrServers))
        return EXIT_FAILED;

    for (uint32_t uServer = 0; uServer < arrServers.GetCount(); ++uServer)
        std::printf("%s\n", arrServers.GetAt(uServer).GetBuffer());
    // The URLs are shown before the checks, which may take a few seconds each.
    std::fflush(stdout);
    InitNetworking();
    for (uint32_t uServer = 0; uServer < arrServers.GetCount(); ++uServer)
    {
        const CMyString strServer = arrServers.GetAt(uServer);
        std::printf("%s\t%s\n", strServer.GetBuffer(),
                    CheckConnection(strServer) ? "answers" : "does not answer");
        std::fflush(stdout);
    }
    if (std::ferror(stdout) != 0)
        return Fail("cannot write to standard output");
    return EXIT_DONE;
}

int RunCheckUpdates(char** ppArguments)
{
    CArrayString arrServers;
    if (!ReadServerList(ppArguments[0], arrServers, true))
        return EXIT_FAILED;
    uint32_t uFlags = 0;
    CMyString strProgramAddress;
    CArrayString arrOutdated;
    bool bFetched = false;
    CUpdateCheck::CheckForUpdates(arrServers, uFlags, strProgramAddress, &arrOutdated, &bFetched);
    if (!bFetched)
        return Fail("no server of the list answered with an update description");
    std::printf("flags\t%u\n", uFlags);
    if ((uFlags & UPDATE_PROGRAM_NEWER) != 0)
        std::printf("program\t%s\n", strProgramAddress.GetBuffer());
    for (uint32_t uName = 0; uName < arrOutdated.GetCount(); ++uName)
    {
        const CMyString strName = arrOutdated.GetAt(uName);
        std::printf("outdated\t%s\n", strName.IsEmpty() ? "" : strName.GetBuffer());
    }
    return std::fflush(stdout) == 0 ? EXIT_DONE : Fail("cannot write to standard output");
}

// publish SRCDIR OUTDIR [--exe-version V --exe-url URL], the options in any order.
int RunPublishCommand(char** ppArguments, int nArguments)
{
    const char* pszExeVersion = nullptr;
    const char* pszExeUrl = nullptr;
    for (int i = 2; i < nArguments; i += 2)
    {
        const bool bVersion = std::strcmp(ppArguments[i], "--exe-version") == 0;
        const bool bUrl = std::strcmp(ppArguments[i], "--exe-url") == 0;
        if ((!bVersion && !bUrl) || i + 1 >= nArguments || ppArguments[i + 1][0] == '\0')
        {
            std::fprintf(stderr,
                         "Usage: %s publish SRCDIR OUTDIR [--exe-version V --exe-url URL]\n",
                         TOOL_NAME);
            return EXIT_USAGE;
        }
        (bVersion ? pszExeVersion : pszExeUrl) = ppArguments[i + 1];
    }
    if ((pszExeVersion == nullptr) != (pszExeUrl == nullptr))
    {
        std::fprintf(stderr, "%s: --exe-version and --exe-url go together\n", TOOL_NAME);
        return EXIT_USAGE;
    }
    if (ppArguments[0][0] == '\0' || ppArguments[1][0] == '\0')
    {
        std::fprintf(stderr, "%s: an empty path is not allowed\n", TOOL_NAME);
        return EXIT_USAGE;
    }
    return RunPublish(ppArguments[0], ppArguments[1], pszExeVersion, pszExeUrl);
}

// import-m3u PLAYLIST SRCDIR --category NAME [--file FILE], the options in any order.
int RunImportCommand(char** ppArguments, int nArguments)
{
    const char* pszCategory = nullptr;
    const char* pszFileName = nullptr;
    bool bUsage = ppArguments[0][0] == '\0' || ppArguments[1][0] == '\0';
    for (int i = 2; i < nArguments && !bUsage; i += 2)
    {
        const bool bCategory = std::strcmp(ppArguments[i], "--category") == 0;
        const bool bFile = std::strcmp(ppArguments[i], "--file") == 0;
        if ((!bCategory && !bFile) || i + 1 >= nArguments)
            bUsage = true;
        else
            (bCategory ? pszCategory : pszFileName) = ppArguments[i + 1];
    }
    if (bUsage || pszCategory == nullptr)
    {
        std::fprintf(stderr, "Usage: %s import-m3u PLAYLIST SRCDIR --category NAME [--file FILE]\n",
                     TOOL_NAME);
        return EXIT_USAGE;
    }
    return RunImportM3u(ppArguments[0], ppArguments[1], pszCategory, pszFileName);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        PrintUsage(stderr);
        return EXIT_USAGE;
    }
    const char* pszCommand = argv[1];
    if (IsHelpOption(pszCommand) || std::strcmp(pszCommand, "help") == 0)
    {
        const SCommand* pCommand = argc > 2 ? FindCommand(argv[2]) : nullptr;
        if (pCommand != nullptr)
            PrintCommandHelp(*pCommand);
        else
            PrintHelp();
        return EXIT_DONE;
    }

    const SCommand* pCommand = FindCommand(pszCommand);
    if (pCommand == nullptr)
    {
        std::fprintf(stderr, "%s: unknown command \"%s\"\n", TOOL_NAME, pszCommand);
        PrintUsage(stderr);
        return EXIT_USAGE;
    }
    char** ppArguments = argv + 2;
    const int nArguments = argc - 2;
    for (int i = 0; i < nArguments; ++i)
        if (IsHelpOption(ppArguments[i]))
        {
            PrintCommandHelp(*pCommand);
            return EXIT_DONE;
        }
    if (nArguments < pCommand->nMinArguments || nArguments > pCommand->nMaxArguments)
    {
        std::fprintf(stderr, "Usage: %s %s %s\n", TOOL_NAME, pCommand->pszName,
                     pCommand->pszArguments);
        return EXIT_USAGE;
    }
    if (std::strcmp(pCommand->pszName, "publish") == 0)
        return RunPublishCommand(ppArguments, nArguments);
    if (std::strcmp(pCommand->pszName, "import-m3u") == 0)
        return RunImportCommand(ppArguments, nArguments);
    if (std::strcmp(pCommand->pszName, "query") == 0)
        return RunQuery(ppArguments[0], ppArguments[1], ppArguments[2]);
    // Every argument is a non-empty path.
    for (int i = 0; i < nArguments; ++i)
        if (ppArguments[i][0] == '\0')
        {
            std::fprintf(stderr, "%s: an empty path is not allowed\n", TOOL_NAME);
            return EXIT_USAGE;
        }

    if (std::strcmp(pCommand->pszName, "scramble") == 0)
        return RunScramble(ppArguments);
    if (std::strcmp(pCommand->pszName, "unscramble") == 0)
        return RunUnscramble(ppArguments, nArguments);
    if (std::strcmp(pCommand->pszName, "servers") == 0)
        return RunServers(ppArguments);
    if (std::strcmp(pCommand->pszName, "show") == 0)
        return RunShow(ppArguments[0]);
    if (std::strcmp(pCommand->pszName, "engines") == 0)
        return RunEngines(ppArguments[0]);
    if (std::strcmp(pCommand->pszName, "check") == 0)
        return RunCheck(ppArguments[0]);
    return RunCheckUpdates(ppArguments);
}
