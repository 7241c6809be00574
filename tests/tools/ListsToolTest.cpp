#include "config/FileHandler.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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
    int Run(std::initializer_list<std::string> arguments)
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

    CMyString strRead;
    ASSERT_TRUE(CFileHandler().ReadScrambledFile(Path("list.txt").c_str(), strRead));
    EXPECT_EQ(std::string(strRead.GetBuffer()), strText);

    ASSERT_EQ(Run({"unscramble", Path("list.txt"), Path("back.xml")}), 0) << m_strErr;
    EXPECT_EQ(Read("back.xml"), strText);
    EXPECT_EQ(Run({"unscramble", Path("list.txt")}), 0);
    EXPECT_EQ(m_strOut, strText);
    EXPECT_EQ(m_strErr, "");
}

TEST_F(ListsToolTest, ServersListsEveryUrlAndWhetherItAnswers)
{
    const CLocalSocket listening(8);
    const CLocalSocket closed(-1);
    const std::string strOpen = listening.Url("/lists/");
    const std::string strClosed = closed.Url("/lists/");
    fs::create_directory(Path("res"));
    const std::string strList = "<LIST><VERSION>1.2</VERSION><URL>" + strClosed +
                                "</URL><URL></URL><url>" + strOpen + "</url></LIST>";
    Write("res/ServerSettings.txt", CFileHandler::Scramble(strList));

    ASSERT_EQ(Run({"servers", Path("res")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, strClosed + "\n" + strOpen + "\n" + strClosed + "\tdoes not answer\n" +
                            strOpen + "\tanswers\n");

    Write("res/ServerSettings.txt", CFileHandler::Scramble(strList, 0x12345678u));
    EXPECT_EQ(Run({"servers", Path("res/")}), 1);
    EXPECT_NE(m_strErr.find("ServerSettings.txt"), std::string::npos);
}

TEST_F(ListsToolTest, CheckUpdatesReportsWhatIsNewer)
{
    const CListServer server(
        {{"UpdateSettings.txt",
          "<U><SEARCH_SETTINGS><VERSION>2.0</VERSION><NAME>SearchSettings.txt</NAME>"
          "</SEARCH_SETTINGS><SERVERS><VERSION>1.0</VERSION><NAME>ServerSettings.txt</NAME>"
          "</SERVERS><EXE_UPDATE><VERSION>1.19</VERSION><NAME>http://get/new</NAME>"
          "</EXE_UPDATE></U>"}});
    Write("res/ServerSettings.txt",
          CFileHandler::Scramble("<L><URL>" + server.Url() + "</URL></L>"));
    // The versions the user's settings record, in the scratch home.
    Write("config/ORVANTA/settings.ini",
          "[SOFTWARE\\ORVANTA]\nVersion=1.18\nServer Settings=1.0\n");
    ASSERT_EQ(Run({"check-updates", Path("res")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "flags\t3\nprogram\thttp://get/new\noutdated\tSearchSettings.txt\n");

    Write("res/ServerSettings.txt",
          CFileHandler::Scramble("<L><URL>" + CLocalSocket(-1).Url("/lists/") + "</URL></L>"));
    EXPECT_EQ(Run({"check-updates", Path("res")}), 1);
}

TEST_F(ListsToolTest, PublishedListsShowAsTheProgramLoadsThem)
{
    Write("src/ServerSettings.txt", "<L><VERSION>1.0</VERSION><URL>http://s/</URL></L>");
    Write("src/MoviesSettings.txt",
          "<M><VERSION>2.0</VERSION><MOVIES><CATEGORY><NAME>News</NAME><FILE_NAME>News.txt"
          "</FILE_NAME></CATEGORY></MOVIES></M>");
    Write("src/News.txt", "<C><VERSION>3.0</VERSION><MENU><CAPTION>News</CAPTION><MENU>"
                          "<CAPTION>World</CAPTION><MENU_ITEM><CAPTION>Tom &amp; Co</CAPTION>"
                          "<URL>http://tv/1</URL></MENU_ITEM></MENU></MENU></C>");
    Write("src/SearchSettings.txt",
          "<S><VERSION>4.0</VERSION><LIST_OF_SEARCH_ENGINES><SEARCH_ENGINE><CAPTION>Web"
          "</CAPTION><PREFIX>http://find/?q=TERM</PREFIX><SEARCH_TERM_TO_REPLACE>TERM"
          "</SEARCH_TERM_TO_REPLACE></SEARCH_ENGINE></LIST_OF_SEARCH_ENGINES></S>");
    ASSERT_EQ(Run({"publish", Path("src"), Path("published"), "--exe-version", "1.19", "--exe-url",
                   "http://get/new"}),
              0)
        << m_strErr;
    const std::string update = Read("published/UpdateSettings.txt");
    for (const char* pszPart : {"<NAME>News.txt</NAME>", "<VERSION>3.0</VERSION>",
                                "<VERSION>1.19</VERSION>", "<NAME>http://get/new</NAME>"})
        EXPECT_NE(update.find(pszPart), std::string::npos) << pszPart;

    ASSERT_EQ(Run({"show", Path("published")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "0\t-1\t0\tNews\t\tFolder\n"
                        "1\t0\t0\tWorld\t\tFolder\n"
                        "2\t1\t1\tTom & Co\tNews/World/Tom & Co\thttp://tv/1\n");
    ASSERT_EQ(Run({"engines", Path("published")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut.substr(0, 6), "1\t0\tWe");
    ASSERT_EQ(Run({"query", Path("published"), "1", "a b"}), 0) << m_strErr;
    EXPECT_EQ(m_strOut, "http://find/?q=a+b\n");
    EXPECT_EQ(Run({"publish", Path("src"), Path("published2"), "--exe-version", "1.19"}), 2);
}

TEST_F(ListsToolTest, ErrorsAndUsage)
{
    EXPECT_EQ(Run({"unscramble", Path("missing")}), 1);
    EXPECT_NE(m_strErr.find(Path("missing")), std::string::npos);
    EXPECT_EQ(Run({"servers", Path("missing")}), 1);
    Write("plain.xml", "<LIST/>");
    EXPECT_EQ(Run({"scramble", Path("plain.xml"), Path("nofolder/list.txt")}), 1);
    EXPECT_NE(m_strErr.find("nofolder"), std::string::npos);
    EXPECT_EQ(Run({"scramble", Path("plain.xml")}), 2);

    EXPECT_EQ(Run({}), 2);
    EXPECT_NE(m_strErr.find("Usage"), std::string::npos);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(m_strOut, "");

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

} // namespace
