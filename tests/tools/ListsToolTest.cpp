// The list tool as a list maintainer runs it, and the shipped demo lists published with it.

#include "config/FileHandler.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace
{

class ListsToolTest : public ScratchHome
{
protected:
    static std::string Quote(const std::string& strText)
    {
        std::string strQuoted = "'";
        for (char c : strText)
            strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return strQuoted + "'";
    }

    // Runs the tool with the arguments (quoted here), keeping its output in m_strOut and m_strErr;
    // answers its exit status. Proxies from the environment are bypassed for local ports.
    int Run(const std::vector<std::string>& arguments)
    {
        std::string strCommand =
            "no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 " + Quote(ORVANTA_LISTS_TOOL);
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

TEST_F(ListsToolTest, ScrambleAndUnscrambleMatchTheProgramsReader)
{
    const std::string strText = "<LIST>\r\n<URL>http://a/&amp;b/</URL>\n</LIST>\n\xC3\xA9!";
    Write("plain.xml", strText);
    ASSERT_EQ(Run({"scramble", Path("plain.xml"), Path("list.txt")}), 0) << m_strErr;
    EXPECT_EQ(Read("list.txt"), CFileHandler::Scramble(strText));

    ASSERT_EQ(Run({"unscramble", Path("list.txt"), Path("back.xml")}), 0) << m_strErr;
    EXPECT_EQ(Read("back.xml"), strText);
    EXPECT_EQ(Run({"unscramble", Path("list.txt")}), 0);
    EXPECT_EQ(m_strOut, strText);
    EXPECT_EQ(m_strErr, "");
}

TEST_F(ListsToolTest, ServersAndCheckUpdatesGoPastServersThatDoNotAnswer)
{
    const CListServer server(
        {{"UpdateSettings.txt",
          "<U><SEARCH_SETTINGS><VERSION>2.0</VERSION><NAME>SearchSettings.txt</NAME>"
          "</SEARCH_SETTINGS><SERVERS><VERSION>1.0</VERSION><NAME>ServerSettings.txt</NAME>"
          "</SERVERS><EXE_UPDATE><VERSION>1.19</VERSION><NAME>http://get/new</NAME>"
          "</EXE_UPDATE></U>"}});
    const CLocalSocket closed(-1);
    const std::string strClosed = closed.Url("/lists/");
    const std::string strList = "<LIST><VERSION>1.2</VERSION><URL>" + strClosed +
                                "</URL><URL></URL><url>" + server.Url() + "</url></LIST>";
    Write("res/ServerSettings.txt", CFileHandler::Scramble(strList));
    // The program's version in the user's settings, in the scratch home; the server list's own
    // version (1.2) is recorded when it is read, as the program does, so it is not outdated.
    Write("config/ORVANTA/settings.ini", "[SOFTWARE\\ORVANTA]\nVersion=1.18\n");

    ASSERT_EQ(Run({"servers", Path("res")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, strClosed + "\n" + server.Url() + "\n" + strClosed + "\tdoes not answer\n" +
                            server.Url() + "\tanswers\n");
    ASSERT_EQ(Run({"check-updates", Path("res")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "flags\t3\nprogram\thttp://get/new\noutdated\tSearchSettings.txt\n");

    // No server answers; a list scrambled with another key cannot be read.
    Write("res/ServerSettings.txt", CFileHandler::Scramble("<L><URL>" + strClosed + "</URL></L>"));
    EXPECT_EQ(Run({"check-updates", Path("res")}), 1);
    Write("res/ServerSettings.txt", CFileHandler::Scramble(strList, 0x12345678u));
    EXPECT_EQ(Run({"servers", Path("res/")}), 1);
    EXPECT_NE(m_strErr.find("ServerSettings.txt"), std::string::npos);
}

TEST_F(ListsToolTest, ErrorsAndUsage)
{
    Write("plain.xml", "<LIST/>");
    // Arguments, exit status, and a part of what the tool says on standard error.
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"unscramble", Path("missing")}, 1, Path("missing")},
        {{"servers", Path("missing")}, 1, ""},
        {{"scramble", Path("plain.xml"), Path("nofolder/list.txt")}, 1, "nofolder"},
        {{"scramble", Path("plain.xml")}, 2, "Usage"},
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "Usage"},
        {{"publish", Path("src"), Path("out"), "--exe-version", "1.19"}, 2, "go together"},
    };
    for (const auto& [arguments, nStatus, strErrPart] : cases)
    {
        EXPECT_EQ(Run(arguments), nStatus) << strErrPart;
        EXPECT_NE(m_strErr.find(strErrPart), std::string::npos) << m_strErr;
        EXPECT_EQ(m_strOut, "");
    }

    for (const char* pszHelp : {"--help", "-h", "help"})
    {
        EXPECT_EQ(Run({pszHelp}), 0);
        for (const char* pszCommand :
             {"scramble", "unscramble", "servers", "check-updates", "show", "publish"})
            EXPECT_NE(m_strOut.find(pszCommand), std::string::npos) << pszHelp << pszCommand;
    }
    EXPECT_EQ(Run({"servers", "--help"}), 0);
    EXPECT_NE(m_strOut.find("RESDIR"), std::string::npos);
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

// The demo lists as shipped: they publish (with a program update), the program's loaders read
// them, and every file of the demo site that they name exists.
TEST_F(ListsToolTest, DemoListsPublishAndLoadAsTheProgramReadsThem)
{
    const std::string strDemo = ORVANTA_DEMO_DIR;
    ASSERT_EQ(Run({"publish", strDemo + "/lists", Path("site"), "--exe-version", "1.19",
                   "--exe-url", "http://get/new"}),
              0)
        << m_strErr;
    const std::string strUpdate = Read("site/UpdateSettings.txt");
    for (const char* pszPart : {"<NAME>News.txt</NAME>", "<NAME>SearchSettings.txt</NAME>",
                                "<VERSION>1.19</VERSION>", "<NAME>http://get/new</NAME>"})
        EXPECT_NE(strUpdate.find(pszPart), std::string::npos) << pszPart;

    ASSERT_EQ(Run({"show", Path("site")}), 0) << m_strErr;
    // Each category holds stations, each at least one menu below it, with a URL that the player
    // keeps whole (it cuts a URL at its last "&").
    std::set<std::string> stationCategories;
    std::istringstream records(m_strOut);
    for (std::string strLine; std::getline(records, strLine);)
    {
        std::vector<std::string> fields;
        std::istringstream columns(strLine);
        for (std::string strField; std::getline(columns, strField, '\t');)
            fields.push_back(strField);
        if (fields.size() < 3 || fields[2] != "1")
            continue;
        ASSERT_EQ(fields.size(), 6u) << "a station without URL: " << strLine;
        stationCategories.insert(fields[4].substr(0, fields[4].find('/')));
        EXPECT_EQ(fields[5].find('&'), std::string::npos) << strLine;
        EXPECT_GE(std::count(fields[4].begin(), fields[4].end(), '/'), 2) << strLine;
    }
    EXPECT_EQ(stationCategories,
              (std::set<std::string>{"Demo Channels", "News", "Music & Culture"}));
    ASSERT_EQ(Run({"query", Path("site"), "2", "Ada Lovelace"}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "https://en.wikipedia.org/w/index.php?search=Ada+Lovelace\n");

    // Every address of the local server that the lists name is a file of demo/site, except
    // the channels, which the set-up generates, and the server itself; so are the pages the
    // program asks for by name, and the icons, which are named relative to the server.
    std::string strLists;
    for (const auto& entry : fs::directory_iterator(strDemo + "/lists"))
    {
        std::ifstream file(entry.path(), std::ios::binary);
        strLists += std::string(std::istreambuf_iterator<char>(file), {});
    }
    std::set<std::string> named = {"InstallPageOrvanta.htm", "UninstallPageOrvanta.htm",
                                   "pages/Start.htm", "pages/Banner.htm"};
    for (const char* pszStart : {"http://127.0.0.1:8719/", "<ICON>", "<FOLDER_ICON>"})
        for (const std::string& strName : TextsAfter(strLists, pszStart))
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
