// The local list server as a user runs it (the built binary on a free port of 127.0.0.1), and the
// demo lists as the program would load them after publishing.

#include "TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace
{

std::string Quote(const std::string& strText)
{
    std::string strQuoted = "'";
    for (char c : strText)
        strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strQuoted + "'";
}

// Every text that follows strStart in strText, up to the next "<" or line end.
std::vector<std::string> TextsAfter(const std::string& strText, const std::string& strStart)
{
    std::vector<std::string> texts;
    for (size_t uFound = strText.find(strStart); uFound != std::string::npos;
         uFound = strText.find(strStart, uFound + 1))
    {
        const size_t uBegin = uFound + strStart.size();
        texts.push_back(strText.substr(uBegin, strText.find_first_of("<\n", uBegin) - uBegin));
    }
    return texts;
}

class ListServerToolTest : public ScratchHome
{
protected:
    void TearDown() override
    {
        Stop();
        ScratchHome::TearDown();
    }

    // Starts the server with the arguments, its output going to files of the scratch folder.
    void Start(std::initializer_list<std::string> arguments)
    {
        std::vector<std::string> words = {ORVANTA_LISTSERVER_TOOL};
        words.insert(words.end(), arguments);
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

    // Starts the server on a free port and waits for the URL it prints.
    void StartOnFolder(const std::string& strFolder)
    {
        Start({"--port", "0", strFolder});
        const std::string strPrefix = "at http://127.0.0.1:";
        ASSERT_TRUE(Eventually(
            [&]
            {
                m_strOut = Read("server.stdout");
                return m_strOut.find('\n') != std::string::npos;
            }))
            << Read("server.stderr");
        const std::vector<std::string> ports = TextsAfter(m_strOut, strPrefix);
        ASSERT_EQ(ports.size(), 1u) << m_strOut;
        m_nPort = std::atoi(ports[0].c_str());
        ASSERT_GT(m_nPort, 0) << m_strOut;
    }

    // Ends the server with SIGTERM; answers its exit status (-1 when it had to be killed).
    int Stop()
    {
        if (m_nPid <= 0)
            return -1;
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

    // Waits for a server started with arguments that make it end by itself.
    int WaitForExit()
    {
        int nStatus = 0;
        if (!Eventually([&] { return waitpid(m_nPid, &nStatus, WNOHANG) != 0; }))
            return -1;
        m_nPid = 0;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
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

    httplib::Client Client() const
    {
        httplib::Client client("127.0.0.1", m_nPort);
        client.set_default_headers({{"User-Agent", "ListServerTest/1.0"}});
        return client;
    }

    // A served folder with a text, a playlist, a segment of 1000 known bytes, a sub-folder with
    // an index page, and a secret next to it that must never be served.
    std::string MakeSite()
    {
        Write("site/a.txt", "hello\n");
        Write("site/ch/index.m3u8", "#EXTM3U\n");
        std::string segment;
        for (int i = 0; i < 1000; ++i)
            segment += static_cast<char>('a' + i % 26);
        Write("site/ch/seg000.ts", segment);
        Write("site/pages/index.html", "<p>pages</p>");
        Write("secret.txt", "secret");
        fs::create_symlink(Path("secret.txt"), Path("site/link.txt"));
        return Path("site");
    }

    pid_t m_nPid = 0;
    int m_nPort = 0;
    std::string m_strOut;
};

TEST_F(ListServerToolTest, ServesFilesWithTheirTypesAndRanges)
{
    StartOnFolder(MakeSite());
    EXPECT_NE(m_strOut.find(fs::canonical(Path("site")).string()), std::string::npos);
    httplib::Client client = Client();

    auto result = client.Get("/a.txt");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "hello\n");
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/plain; charset=utf-8");

    result = client.Get("/ch/index.m3u8");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/vnd.apple.mpegurl");
    result = client.Get("/pages/");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, "<p>pages</p>");
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");

    result = client.Head("/ch/seg000.ts");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Length"), "1000");
    EXPECT_EQ(result->get_header_value("Content-Type"), "video/mp2t");
    EXPECT_EQ(result->body, "");

    result = client.Get("/ch/seg000.ts", {{"Range", "bytes=26-30"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 206);
    EXPECT_EQ(result->body, "abcde");
    EXPECT_EQ(result->get_header_value("Content-Range"), "bytes 26-30/1000");
    // A range running past the end is cut to the file; one starting behind it is refused.
    result = client.Get("/ch/seg000.ts", {{"Range", "bytes=998-5000"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 206);
    EXPECT_EQ(result->body, "kl");
    result = client.Get("/ch/seg000.ts", {{"Range", "bytes=1000-"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 416);
    EXPECT_EQ(result->get_header_value("Content-Range"), "bytes */1000");

    EXPECT_EQ(Stop(), 0);
}

TEST_F(ListServerToolTest, RefusesWhatLiesOutsideTheFolder)
{
    StartOnFolder(MakeSite());
    httplib::Client client = Client();

    auto result = client.Get("/missing.txt");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
    // An error page is sent whole, whatever range was asked for.
    result = client.Get("/missing.txt", {{"Range", "bytes=0-1"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
    EXPECT_EQ(result->body, "Not Found\n");

    for (const char* pszPath : {"/../secret.txt", "/%2e%2e/secret.txt", "/ch/../../secret.txt",
                                "/link.txt", "/ch/..%2f..%2fsecret.txt", "/..\\secret.txt"})
    {
        result = client.Get(pszPath);
        ASSERT_TRUE(result) << pszPath;
        EXPECT_EQ(result->status, 403) << pszPath;
        EXPECT_EQ(result->body.find("secret"), std::string::npos) << pszPath;
    }

    result = client.Post("/a.txt", "x", "text/plain");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 405);
    // The server is still there after all of it.
    result = client.Get("/a.txt");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
}

TEST_F(ListServerToolTest, LogsOneLinePerRequest)
{
    StartOnFolder(MakeSite());
    httplib::Client client = Client();
    ASSERT_TRUE(client.Get("/a.txt"));
    ASSERT_TRUE(client.Head("/missing.txt"));
    ASSERT_TRUE(client.Get("/../secret.txt"));
    httplib::Client hostile("127.0.0.1", m_nPort);
    hostile.set_default_headers({{"User-Agent", "Evil\" 200 \x01"}});
    ASSERT_TRUE(hostile.Get("/a b.txt"));

    std::string strLog;
    ASSERT_TRUE(Eventually(
        [&]
        {
            strLog = Read("server.stderr");
            return std::count(strLog.begin(), strLog.end(), '\n') >= 4;
        }))
        << strLog;
    EXPECT_EQ(Stop(), 0);
    std::istringstream lines(Read("server.stderr"));
    std::vector<std::string> entries;
    for (std::string strLine; std::getline(lines, strLine);)
        entries.push_back(strLine.substr(strLine.find(' ') + 1)); // without the time
    // Each line is written after its answer went out, by the thread that served it, so two
    // quick requests may log in either order.
    std::vector<std::string> expected = {
        "GET /a.txt \"ListServerTest/1.0\" 200",
        "HEAD /missing.txt \"ListServerTest/1.0\" 404",
        "GET /../secret.txt \"ListServerTest/1.0\" 403",
        "GET /a%20b.txt \"Evil%22%20200%20%01\" 404",
    };
    std::sort(entries.begin(), entries.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries, expected);
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
    for (const std::initializer_list<std::string>& arguments :
         {std::initializer_list<std::string>{},
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

// The demo lists as shipped: they publish, the program's loaders read them, and every file of
// the demo site that they name exists.
class DemoListsTest : public ScratchHome
{
protected:
    int Run(std::initializer_list<std::string> arguments)
    {
        std::string strCommand = Quote(ORVANTA_LISTS_TOOL);
        for (const std::string& strArgument : arguments)
            strCommand += " " + Quote(strArgument);
        strCommand += " >" + Quote(Path("tool.stdout")) + " 2>" + Quote(Path("tool.stderr"));
        const int nStatus = std::system(strCommand.c_str());
        m_strOut = Read("tool.stdout");
        m_strErr = Read("tool.stderr");
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    std::string m_strOut;
    std::string m_strErr;
};

TEST_F(DemoListsTest, PublishAndLoadAsTheProgramReadsThem)
{
    const std::string strDemo = ORVANTA_DEMO_DIR;
    ASSERT_EQ(Run({"publish", strDemo + "/lists", Path("site")}), 0) << m_strErr;

    ASSERT_EQ(Run({"show", Path("site")}), 0) << m_strErr;
    // Top-level categories, and the number of stations under each.
    std::vector<std::string> categories;
    std::set<std::string> stationCategories;
    std::istringstream records(m_strOut);
    for (std::string strLine; std::getline(records, strLine);)
    {
        std::vector<std::string> fields;
        std::istringstream columns(strLine);
        for (std::string strField; std::getline(columns, strField, '\t');)
            fields.push_back(strField);
        ASSERT_GE(fields.size(), 5u) << strLine;
        if (fields[1] == "-1")
            categories.push_back(fields[3]);
        if (fields[2] == "1")
        {
            ASSERT_EQ(fields.size(), 6u) << "a station without URL: " << strLine;
            stationCategories.insert(fields[4].substr(0, fields[4].find('/')));
            // The player cuts a URL at its last "&"; no demo station may depend on what follows.
            EXPECT_EQ(fields[5].find('&'), std::string::npos) << strLine;
            // Sub-menus: every station lies at least one menu below its category.
            EXPECT_GE(std::count(fields[4].begin(), fields[4].end(), '/'), 2) << strLine;
        }
    }
    EXPECT_EQ(categories, (std::vector<std::string>{"Demo Channels", "News", "Music & Culture"}));
    EXPECT_EQ(stationCategories,
              (std::set<std::string>{"Demo Channels", "News", "Music & Culture"}));

    ASSERT_EQ(Run({"engines", Path("site")}), 0) << m_strErr;
    for (const char* pszEngine : {"DuckDuckGo", "Wikipedia", "YouTube", "Internet Archive"})
        EXPECT_NE(m_strOut.find(std::string("\t") + pszEngine + "\thttps://"), std::string::npos)
            << pszEngine;
    ASSERT_EQ(Run({"query", Path("site"), "2", "Ada Lovelace"}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "https://en.wikipedia.org/w/index.php?search=Ada+Lovelace\n");

    // Every address of the local server that the lists name is a file of demo/site, except
    // the channels, which the set-up generates, and the server itself; so are the pages the
    // program asks for by name.
    std::string strLists;
    for (const auto& entry : fs::directory_iterator(strDemo + "/lists"))
    {
        std::ifstream file(entry.path(), std::ios::binary);
        strLists += std::string(std::istreambuf_iterator<char>(file), {});
    }
    std::set<std::string> named = {"InstallPageOrvanta.htm", "UninstallPageOrvanta.htm",
                                   "pages/Start.htm", "pages/Banner.htm"};
    for (const std::string& strName : TextsAfter(strLists, "http://127.0.0.1:8719/"))
        named.insert(strName);
    // Category and tree icons are named relative to the server.
    for (const char* pszElement : {"<ICON>", "<FOLDER_ICON>"})
        for (const std::string& strName : TextsAfter(strLists, pszElement))
            named.insert(strName);
    EXPECT_GT(named.size(), 20u);
    for (const std::string& strName : named)
    {
        const bool bGenerated = strName.empty() || strName.rfind("channels/", 0) == 0;
        EXPECT_TRUE(bGenerated || fs::is_regular_file(strDemo + "/site/" + strName)) << strName;
    }
    EXPECT_NE(strLists.find("<FIRST_URL>pages/Start.htm</FIRST_URL>"), std::string::npos);
    EXPECT_NE(strLists.find("<URL>pages/Banner.htm</URL>"), std::string::npos);
}

} // namespace
