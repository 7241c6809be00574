#include "TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

namespace
{
class ListServerToolTest : public ScratchHome
{
protected:
    // Starts the server, its output going to files of the scratch folder.
    void Start(const QStringList& arguments)
    {
        m_server.setStandardOutputFile(Path("server.stdout").c_str());
        m_server.setStandardErrorFile(Path("server.stderr").c_str());
        m_server.start(ORVANTA_LISTSERVER_TOOL, arguments);
        ASSERT_TRUE(m_server.waitForStarted());
    }
    // Answers the exit status (after a SIGTERM when bTerminate), or -1 when it had to be killed.
    int WaitForExit(bool bTerminate = false)
    {
        if (bTerminate)
            m_server.terminate();
        if (m_server.waitForFinished(10000) && m_server.exitStatus() == QProcess::NormalExit)
            return m_server.exitCode();
        m_server.kill();
        m_server.waitForFinished();
        return -1;
    }
    QString Site(const char* pszName = "site") const { return Path(pszName).c_str(); }

    QProcess m_server;
};

TEST_F(ListServerToolTest, ServesTheFolderAndNothingBesideItAndLogsEachRequest)
{
    // The secret beside the folder, also reached by a link from inside, must never be served.
    Write("site/a.txt", "hello\n");
    Write("site/ch/index.m3u8", "#EXTM3U\n");
    std::string segment;
    for (int i = 0; i < 1000; ++i)
        segment += static_cast<char>('a' + i % 26);
    Write("site/ch/seg000.ts", segment);
    Write("site/pages/index.html", "<p>pages</p>");
    Write("secret.txt", "secret");
    std::filesystem::create_symlink(Path("secret.txt"), Path("site/link.txt"));
    Start({"--port", "0", Site()});
    std::string strOut;
    ASSERT_TRUE(PumpEventsUntil(
        [&] { return (strOut = Read("server.stdout")).find('\n') != std::string::npos; }))
        << Read("server.stderr");
    EXPECT_NE(strOut.find(std::filesystem::canonical(Path("site")).string()), std::string::npos);
    const size_t uPort = strOut.find("at http://127.0.0.1:");
    ASSERT_NE(uPort, std::string::npos) << strOut;
    const int nPort = std::atoi(strOut.c_str() + uPort + 20);
    httplib::Client client("127.0.0.1", nPort);
    client.set_default_headers({{"User-Agent", "ListServerTest/1.0"}});
    // Path, range asked for, status, body, content type and content range (null: any).
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
        {"/ch/../a.txt", nullptr, 403, nullptr}, // no way up, even one that stays inside
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
    const auto head = client.Head("/ch/seg000.ts");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), "1000");
    ASSERT_TRUE(client.Post("/a.txt", "x", "text/plain"));
    httplib::Client hostile("127.0.0.1", nPort);
    hostile.set_default_headers({{"User-Agent", "Evil\" 200 \x01"}});
    ASSERT_TRUE(hostile.Get("/a b.txt"));
    // One line per request, written after its answer went out; what the client sent is escaped,
    // so no line can pass for another.
    const size_t uRequests = std::size(cases) + 3;
    std::string strLog;
    ASSERT_TRUE(PumpEventsUntil(
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
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--port", QString::number(taken.Port()), Site()}, 1, "already uses that port"},
        {{"--port", "0", Site("missing")}, 1, "is not a folder"},
        {{}, 2, "Usage"},
        {{"--port", "65536", Site()}, 2, "Usage"},
        {{"--port"}, 2, "Usage"},
        {{"--colour", Site()}, 2, "Usage"},
        {{Site(), Site()}, 2, "Usage"},
        {{"--help"}, 0, "--port"},
    };
    for (const auto& [arguments, nStatus, pszSaid] : cases)
    {
        Start(arguments);
        EXPECT_EQ(WaitForExit(), nStatus) << pszSaid;
        EXPECT_NE((Read("server.stderr") + Read("server.stdout")).find(pszSaid), std::string::npos)
            << Read("server.stderr");
    }
}
} // namespace
