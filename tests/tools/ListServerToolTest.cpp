// The local list server as a user runs it: the built binary on a free port of 127.0.0.1.

#include "TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

class ListServerToolTest : public ScratchHome
{
protected:
    void TearDown() override
    {
        WaitForExit(true);
        ScratchHome::TearDown();
    }

    // Starts the server with the arguments, its output going to files of the scratch folder.
    void Start(std::vector<std::string> words)
    {
        words.insert(words.begin(), ORVANTA_LISTSERVER_TOOL);
        std::vector<char*> argv;
        for (std::string& strWord : words)
            argv.push_back(strWord.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, Path("server.stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, Path("server.stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_EQ(
            posix_spawn(&m_nPid, ORVANTA_LISTSERVER_TOOL, &actions, nullptr, argv.data(), environ),
            0);
        posix_spawn_file_actions_destroy(&actions);
    }

    // Waits for the server to end, after a SIGTERM when bTerminate; answers its exit status, or
    // -1 when it had to be killed.
    int WaitForExit(bool bTerminate = false)
    {
        if (m_nPid <= 0)
            return -1;
        if (bTerminate)
            kill(m_nPid, SIGTERM);
        int nStatus = 0;
        const bool bEnded = Eventually([&] { return waitpid(m_nPid, &nStatus, WNOHANG) != 0; });
        if (!bEnded)
        {
            kill(m_nPid, SIGKILL);
            waitpid(m_nPid, &nStatus, 0);
        }
        m_nPid = 0;
        return bEnded && WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    template <typename Condition> static bool Eventually(Condition condition)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition())
        {
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    pid_t m_nPid = 0;
};

TEST_F(ListServerToolTest, ServesTheFolderAndNothingBesideItAndLogsEachRequest)
{
    // A text, a playlist, a segment of 1000 known bytes, a sub-folder with an index page, and a
    // secret beside the folder, also reached by a link from inside, that must never be served.
    Write("site/a.txt", "hello\n");
    Write("site/ch/index.m3u8", "#EXTM3U\n");
    std::string segment;
    for (int i = 0; i < 1000; ++i)
        segment += static_cast<char>('a' + i % 26);
    Write("site/ch/seg000.ts", segment);
    Write("site/pages/index.html", "<p>pages</p>");
    Write("secret.txt", "secret");
    std::filesystem::create_symlink(Path("secret.txt"), Path("site/link.txt"));

    Start({"--port", "0", Path("site")});
    std::string strOut;
    ASSERT_TRUE(Eventually(
        [&] { return (strOut = Read("server.stdout")).find('\n') != std::string::npos; }))
        << Read("server.stderr");
    EXPECT_NE(strOut.find(std::filesystem::canonical(Path("site")).string()), std::string::npos);
    const size_t uPort = strOut.find("at http://127.0.0.1:");
    ASSERT_NE(uPort, std::string::npos) << strOut;
    const int nPort = std::atoi(strOut.c_str() + uPort + 20);
    httplib::Client client("127.0.0.1", nPort);
    client.set_default_headers({{"User-Agent", "ListServerTest/1.0"}});

    // Path, range asked for, status, body, content type and content range (null: not checked).
    struct SCase
    {
        const char* pszPath;
        const char* pszRange;
        int nStatus;
        const char* pszBody;
        const char* pszType = nullptr;
        const char* pszContentRange = nullptr;
    };
    const SCase cases[] = {
        {"/a.txt", nullptr, 200, "hello\n", "text/plain; charset=utf-8"},
        {"/ch/index.m3u8", nullptr, 200, "#EXTM3U\n", "application/vnd.apple.mpegurl"},
        {"/pages/", nullptr, 200, "<p>pages</p>", "text/html; charset=utf-8"},
        {"/ch/seg000.ts", "bytes=26-30", 206, "abcde", "video/mp2t", "bytes 26-30/1000"},
        // A range running past the end is cut to the file; one starting behind it is refused.
        {"/ch/seg000.ts", "bytes=998-5000", 206, "kl"},
        {"/ch/seg000.ts", "bytes=1000-", 416, nullptr, nullptr, "bytes */1000"},
        // An error page is sent whole, whatever range was asked for.
        {"/missing.txt", "bytes=0-1", 404, "Not Found\n"},
        {"/../secret.txt", nullptr, 403, nullptr},
        {"/%2e%2e/secret.txt", nullptr, 403, nullptr},
        {"/ch/../../secret.txt", nullptr, 403, nullptr},
        {"/link.txt", nullptr, 403, nullptr},
        {"/ch/..%2f..%2fsecret.txt", nullptr, 403, nullptr},
        {"/..\\secret.txt", nullptr, 403, nullptr},
    };
    for (const SCase& test : cases)
    {
        SCOPED_TRACE(test.pszPath);
        httplib::Headers headers;
        if (test.pszRange != nullptr)
            headers.emplace("Range", test.pszRange);
        const auto result = client.Get(test.pszPath, headers);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, test.nStatus);
        EXPECT_EQ(result->body.find("secret"), std::string::npos);
        for (const auto& [strActual, pszExpected] :
             {std::pair<std::string, const char*>{result->body, test.pszBody},
              {result->get_header_value("Content-Type"), test.pszType},
              {result->get_header_value("Content-Range"), test.pszContentRange}})
            EXPECT_TRUE(pszExpected == nullptr || strActual == pszExpected)
                << strActual << " is not " << pszExpected;
    }
    auto result = client.Head("/ch/seg000.ts");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Length"), "1000");
    EXPECT_EQ(result->get_header_value("Content-Type"), "video/mp2t");
    EXPECT_EQ(result->body, "");
    result = client.Post("/a.txt", "x", "text/plain");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 405);
    httplib::Client hostile("127.0.0.1", nPort);
    hostile.set_default_headers({{"User-Agent", "Evil\" 200 \x01"}});
    ASSERT_TRUE(hostile.Get("/a b.txt"));

    // One line per request, written by the thread that served it after its answer went out;
    // what the client sent is escaped, so no line can pass for another.
    const size_t uRequests = std::size(cases) + 3;
    std::string strLog;
    ASSERT_TRUE(Eventually(
        [&]
        {
            strLog = Read("server.stderr");
            return std::count(strLog.begin(), strLog.end(), '\n') >= std::ptrdiff_t(uRequests);
        }))
        << strLog;
    EXPECT_EQ(WaitForExit(true), 0);
    strLog = Read("server.stderr");
    EXPECT_EQ(std::count(strLog.begin(), strLog.end(), '\n'), std::ptrdiff_t(uRequests)) << strLog;
    for (const char* pszLine : {" GET /a.txt \"ListServerTest/1.0\" 200\n",
                                " HEAD /ch/seg000.ts \"ListServerTest/1.0\" 200\n",
                                " GET /../secret.txt \"ListServerTest/1.0\" 403\n",
                                " POST /a.txt \"ListServerTest/1.0\" 405\n",
                                " GET /a%20b.txt \"Evil%22%20200%20%01\" 404\n"})
        EXPECT_NE(strLog.find(pszLine), std::string::npos) << pszLine << strLog;
}

TEST_F(ListServerToolTest, CommandLineMistakesAndATakenPort)
{
    const CLocalSocket taken(8);
    Write("site/a.txt", "x");
    Start({"--port", std::to_string(taken.Port()), Path("site")});
    EXPECT_EQ(WaitForExit(), 1);
    EXPECT_NE(Read("server.stderr").find("already uses that port"), std::string::npos)
        << Read("server.stderr");

    Start({"--port", "0", Path("missing")});
    EXPECT_EQ(WaitForExit(), 1);
    EXPECT_NE(Read("server.stderr").find("is not a folder"), std::string::npos);
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"--port", "65536", Path("site")},
                                               {"--port", "x", Path("site")},
                                               {"--port"},
                                               {"--colour", Path("site")},
                                               {Path("site"), Path("site")}})
    {
        Start(arguments);
        EXPECT_EQ(WaitForExit(), 2);
        EXPECT_NE(Read("server.stderr").find("Usage"), std::string::npos);
    }
    Start({"--help"});
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_NE(Read("server.stdout").find("--port"), std::string::npos);
}

} // namespace
