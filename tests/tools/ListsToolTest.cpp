// The list tool as a list maintainer runs it, and the shipped demo lists published with it.

#include "config/FileHandler.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace
{
class ListsToolTest : public ScratchHome
{
protected:
    // Runs the tool, keeping its output in m_strOut and m_strErr; answers its exit status.
    int Run(const std::vector<std::string>& arguments)
    {
        QStringList words;
        for (const std::string& strArgument : arguments)
            words << QString::fromStdString(strArgument);
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("no_proxy", "127.0.0.1");
        environment.insert("NO_PROXY", "127.0.0.1");
        tool.setProcessEnvironment(environment);
        tool.start(ORVANTA_LISTS_TOOL, words);
        const bool bEnded = tool.waitForFinished(60000);
        m_strOut = tool.readAllStandardOutput().toStdString();
        m_strErr = tool.readAllStandardError().toStdString();
        return bEnded && tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }

    // Each run ends with its status, says the text on standard error and nothing on the output.
    void
    ExpectRefusals(const std::vector<std::tuple<std::vector<std::string>, int, std::string>>& runs)
    {
        for (const auto& [arguments, nStatus, strSaid] : runs)
        {
            EXPECT_EQ(Run(arguments), nStatus) << strSaid;
            EXPECT_NE(m_strErr.find(strSaid), std::string::npos) << m_strErr;
            EXPECT_EQ(m_strOut, "");
        }
    }

    // The import of list.m3u into the folder src, with more arguments.
    std::vector<std::string> Import(const std::vector<std::string>& more) const
    {
        std::vector<std::string> arguments = {"import-m3u", Path("list.m3u"), Path("src")};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    std::string m_strOut;
    std::string m_strErr;
};

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
    // The server list's own version (1.2) is recorded when it is read, so it is not outdated.
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

TEST_F(ListsToolTest, ScrambleRoundTripErrorsAndUsage)
{
    const std::string strText = "<LIST>\r\n<URL>http://a/&amp;b/</URL>\n</LIST>\n\xC3\xA9!";
    Write("plain.xml", strText);
    ASSERT_EQ(Run({"scramble", Path("plain.xml"), Path("list.txt")}), 0) << m_strErr;
    EXPECT_EQ(Read("list.txt"), CFileHandler::Scramble(strText));
    EXPECT_EQ(Run({"unscramble", Path("list.txt")}), 0);
    EXPECT_EQ(m_strOut, strText);
    ExpectRefusals({
        {{"unscramble", Path("missing")}, 1, Path("missing")},
        {{"servers", Path("missing")}, 1, ""},
        {{"scramble", Path("plain.xml"), Path("nofolder/list.txt")}, 1, "nofolder"},
        {{"scramble", Path("plain.xml")}, 2, "Usage"},
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "Usage"},
        {{"publish", Path("src"), Path("out"), "--exe-version", "1.19"}, 2, "go together"},
    });
    EXPECT_EQ(Run({"-h"}), 0);
    EXPECT_NE(m_strOut.find("import-m3u"), std::string::npos);
}

// A playlist in the forms found in the wild, with a byte-order mark or not and any line ends,
// imports into menus by group, publishes, and loads in the program's own reader.
TEST_F(ListsToolTest, ImportM3uTurnsPlaylistsIntoACategoryThatPublishesAndLoads)
{
    const std::vector<std::string> lines = {
        "#EXTM3U url-tvg=\"http://epg.example/guide.xml\"",
        "#EXTINF:-1 tvg-id=\"n1\" tvg-name=\"News One\" tvg-logo=\"http://logo.example/n1.png\" "
        "group-title=\"News, World\",News One, HD",
        "#EXTVLCOPT:http-user-agent=Portal Player/2.1 (X11; \"Linux\")",
        "#EXTVLCOPT:http-referrer=https://portal.example/",
        "#EXTVLCOPT:network-caching=1000",
        "https://cdn.example/n1/index.m3u8?token=a&expires=9",
        "# exported by hand",
        "#EXTINF:0 tvg-logo=file:///logo.png group-title=Sport,Sport <1> & \"Friends\"\x01",
        "  http://cdn.example/sport.ts  ",
        "#EXTINF:-1 group-title=\"News, World\",The same address again",
        "https://cdn.example/n1/index.m3u8?token=a&expires=9",
        "#EXTINF:-1 tvg-name=Fallback,",
        "rtmp://live.example/app/stream",
        "#EXTGRP:Radio",
        "#EXTINF:-1,Радио Один",
        "http://radio.example/one.mp3",
        "#EXTINF:-1,On this disk",
        "/home/user/videos/clip.ts",
        "#EXTINF:-1,No address follows",
        "#KODIPROP:inputstream=adaptive",
        "#EXTINF:-1 group-title='News, World' tvg-logo=ftp://x/y.png,Second News",
        "http://cdn.example/n2.ts",
        "http://cdn.example/bare.ts",
    };
    const std::vector<std::pair<std::string, std::string>> forms = {
        {"\xEF\xBB\xBF", "\r\n"}, {"", "\n"}, {"", "\r"}};
    const std::string strReport =
        "wrote " + Path("src") + "/FreeTV.txt: 6 stations in 4 menus, VERSION 1.0\n" + "wrote " +
        Path("src") + "/MoviesSettings.txt: category \"Free TV\" in FreeTV.txt, VERSION 1.0\n" +
        "skipped 6: 1 comments, 2 unknown directives or options, 1 entries without address, 1 "
        "addresses not on the network, 1 duplicates\n"
        "1 addresses with \"&\" end in one more \"&\", so the player keeps them whole\n";
    std::string strFirstCategory;
    for (const auto& [strMark, strEnd] : forms)
    {
        std::string strPlaylist = strMark;
        for (const std::string& strLine : lines)
            strPlaylist += strLine + strEnd;
        Write("list.m3u8", strPlaylist);
        std::filesystem::remove_all(Path("src"));
        ASSERT_EQ(Run({"import-m3u", Path("list.m3u8"), Path("src"), "--category", "Free TV"}), 0)
            << m_strErr;
        EXPECT_EQ(m_strOut, strReport)
            << "mark " << strMark.size() << ", line ends " << strEnd.size();
        if (strFirstCategory.empty())
            strFirstCategory = Read("src/FreeTV.txt");
        EXPECT_EQ(Read("src/FreeTV.txt"), strFirstCategory) << "line ends " << strEnd.size();
    }
    // Published with the lists every site has, it loads as the program loads it.
    for (const char* pszList : {"ServerSettings.txt", "SearchSettings.txt"})
        fs::copy_file(std::string(ORVANTA_DEMO_DIR) + "/lists/" + pszList, Path("src/") + pszList);
    ASSERT_EQ(Run({"publish", Path("src"), Path("site"), "--exe-version", "1.19", "--exe-url",
                   "http://get/new"}),
              0)
        << m_strErr;
    EXPECT_NE(
        Read("site/UpdateSettings.txt").find("<VERSION>1.19</VERSION>\n\t\t<NAME>http://get/new<"),
        std::string::npos);
    ASSERT_EQ(Run({"show", Path("site")}), 0) << m_strErr;
    EXPECT_EQ(m_strOut,
              "0\t-1\t0\tFree TV\t\tFolder\n"
              "1\t0\t0\tNews, World\t\tFolder\n"
              "2\t1\t1\tNews One, HD\tFree TV/News, World/News One, HD\t"
              "https://cdn.example/n1/index.m3u8?token=a&expires=9&\t"
              "Portal Player/2.1 (X11; \"Linux\")\thttps://portal.example/\n"
              "3\t1\t1\tSecond News\tFree TV/News, World/Second News\thttp://cdn.example/n2.ts\n"
              "4\t0\t0\tSport\t\tFolder\n"
              "5\t4\t1\tSport <1> & \"Friends\"\tFree TV/Sport/Sport <1> & \"Friends\"\t"
              "http://cdn.example/sport.ts\n"
              "6\t0\t0\tOther\t\tFolder\n"
              "7\t6\t1\tFallback\tFree TV/Other/Fallback\trtmp://live.example/app/stream\n"
              "8\t6\t1\thttp://cdn.example/bare.ts\tFree TV/Other/http://cdn.example/bare.ts\t"
              "http://cdn.example/bare.ts\n"
              "9\t0\t0\tRadio\t\tFolder\n"
              "10\t9\t1\tРадио Один\tFree TV/Radio/Радио Один\thttp://radio.example/one.mp3\n");
    // Only http and https logos become icons.
    EXPECT_NE(strFirstCategory.find("<ICON_URL>http://logo.example/n1.png</ICON_URL>"),
              std::string::npos);
    EXPECT_EQ(strFirstCategory.find("ICON_URL>f"), std::string::npos);
}

// The import leaves the rest of the movies settings as it was, raises the versions of what it
// changes, and refuses file names that are no category file.
TEST_F(ListsToolTest, ImportM3uKeepsTheMoviesSettingsAndRaisesVersions)
{
    Write("list.m3u", "#EXTM3U\n#EXTINF:-1,One\nhttp://a.example/1.ts\n");
    Write("src/MoviesSettings.txt",
          "<MOVIES_SETTINGS>\n<VERSION>1.9</VERSION>\n<FIRST_URL>pages/Start.htm</FIRST_URL>\n"
          "<MOVIES>\n<ICON>icons/Station.gif</ICON>\n<CATEGORY>\n<NAME>Old &amp; Gold</NAME>\n"
          "<FILE_NAME>FreeTV.txt</FILE_NAME>\n</CATEGORY>\n<CATEGORY>\n<NAME>Free TV</NAME>\n"
          "<ICON>icons/Free.gif</ICON>\n</CATEGORY>\n</MOVIES>\n</MOVIES_SETTINGS>\n");
    // The name of the category's own file would be another category's: a number tells them apart.
    ASSERT_EQ(Run(Import({"--category", "Free TV"})), 0) << m_strErr;
    EXPECT_EQ(Read("src/MoviesSettings.txt"),
              "<MOVIES_SETTINGS>\n\t<VERSION>1.10</VERSION>\n"
              "\t<FIRST_URL>pages/Start.htm</FIRST_URL>\n\t<MOVIES>\n"
              "\t\t<ICON>icons/Station.gif</ICON>\n\t\t<CATEGORY>\n"
              "\t\t\t<NAME>Old &amp; Gold</NAME>\n\t\t\t<FILE_NAME>FreeTV.txt</FILE_NAME>\n"
              "\t\t</CATEGORY>\n\t\t<CATEGORY>\n\t\t\t<NAME>Free TV</NAME>\n"
              "\t\t\t<ICON>icons/Free.gif</ICON>\n\t\t\t<FILE_NAME>FreeTV2.txt</FILE_NAME>\n"
              "\t\t</CATEGORY>\n\t</MOVIES>\n</MOVIES_SETTINGS>\n");
    EXPECT_NE(Read("src/FreeTV2.txt").find("<VERSION>1.0</VERSION>"), std::string::npos);
    // Again: the category file gets a higher version; the movies settings stay.
    const std::string strMovies = Read("src/MoviesSettings.txt");
    ASSERT_EQ(Run(Import({"--category", "Free TV"})), 0);
    EXPECT_NE(Read("src/FreeTV2.txt").find("<VERSION>1.1</VERSION>"), std::string::npos);
    EXPECT_EQ(Read("src/MoviesSettings.txt"), strMovies);
    EXPECT_NE(m_strOut.find("unchanged"), std::string::npos);
    ASSERT_EQ(Run(Import({"--file", "Tv.txt", "--category", "Free TV"})), 0);
    EXPECT_NE(Read("src/MoviesSettings.txt").find("<VERSION>1.11</VERSION>"), std::string::npos);
    EXPECT_NE(Read("src/MoviesSettings.txt").find("<FILE_NAME>Tv.txt</FILE_NAME>"),
              std::string::npos);
    Write("bad/MoviesSettings.txt", "<M><MOVIES>");
    ExpectRefusals({
        {Import({"--category", "Free TV", "--file", "../Tv.txt"}), 2, "plain file name"},
        {Import({"--category", "Free TV", "--file", "MoviesSettings.txt"}), 2, "plain file name"},
        {Import({"--category", "Free TV", "--file", "FreeTV.txt"}), 2, "another category"},
        {Import({"--file", "x.txt"}), 2, "Usage"},
        {Import({"--category"}), 2, "Usage"},
        {Import({"--category", "\t "}), 2, "name"},
        {{"import-m3u", Path("missing.m3u"), Path("src"), "--category", "X"}, 1, ""},
        {{"import-m3u", Path("list.m3u"), Path("bad"), "--category", "X"}, 1, "does not parse"},
    });
    EXPECT_EQ(Read("bad/MoviesSettings.txt"), "<M><MOVIES>");
}

// The shipped demo lists have no findings; one of each fault the program passes over without a
// word is found with its file and line.
TEST_F(ListsToolTest, CheckFindsWhatTheProgramWouldSkipOrRefuse)
{
    ASSERT_EQ(Run({"check", std::string(ORVANTA_DEMO_DIR) + "/lists"}), 0) << m_strOut;
    EXPECT_EQ(m_strOut, "no findings\n");
    Write("src/MoviesSettings.txt",
          "<MOVIES_SETTINGS>\n<VERSION>1.0</VERSION>\n<MOVIES>\n"
          "<CATEGORY><NAME>No File</NAME></CATEGORY>\n"
          "<CATEGORY><NAME>Unsafe</NAME><FILE_NAME>../etc/x.txt</FILE_NAME></CATEGORY>\n"
          "<CATEGORY><NAME>Broken</NAME><FILE_NAME>Broken.txt</FILE_NAME></CATEGORY>\n"
          "<CATEGORY><FILE_NAME>TV.txt</FILE_NAME></CATEGORY>\n"
          "<CATEGORY><NAME>TV</NAME><FILE_NAME>TV.txt</FILE_NAME></CATEGORY>\n"
          "</MOVIES>\n</MOVIES_SETTINGS>\n");
    Write("src/Broken.txt", "<CATEGORY_FILE><MENU>");
    Write("src/TV.txt", "<CATEGORY_FILE>\n<VERSION>7</VERSION>\n<MENU><CAPTION>TV</CAPTION>\n"
                        "<MENU_ITEM><URL>http://a.example/1.ts</URL></MENU_ITEM>\n"
                        "<MENU_ITEM><CAPTION>Silent</CAPTION></MENU_ITEM>\n"
                        "<MENU_ITEM><CAPTION>Disk</CAPTION><URL>/srv/a.ts</URL></MENU_ITEM>\n"
                        "<MENU_ITEM><CAPTION>Cut</CAPTION>\n"
                        "<URL>http://a.example/b?x=1&amp;y=2</URL></MENU_ITEM>\n"
                        "<MENU><ICON_URL>http://i/</ICON_URL></MENU>\n"
                        "<MENU><CAPTION>Twice</CAPTION></MENU>\n"
                        "<MENU_ITEM><CAPTION>Twice</CAPTION><URL>http://a/</URL></MENU_ITEM>\n"
                        "</MENU>\n</CATEGORY_FILE>\n");
    Write("src/ServerSettings.txt",
          "<SERVERS><VERSION>1.0</VERSION><URL>http://s/</URL></SERVERS>");
    Write("src/SearchSettings.txt",
          "<SEARCH_SETTINGS>\n<VERSION>1.0</VERSION>\n<LIST_OF_SEARCH_ENGINES>\n"
          "<SEARCH_ENGINE><CAPTION>Web</CAPTION><PREFIX>http://w/?q=T</PREFIX></SEARCH_ENGINE>\n"
          "<SEARCH_ENGINE><CAPTION>Nowhere</CAPTION></SEARCH_ENGINE>\n"
          "</LIST_OF_SEARCH_ENGINES>\n</SEARCH_SETTINGS>\n");
    Write("src/UpdateSettings.txt",
          "<UPDATE_SETTINGS>\n"
          "<SERVERS><VERSION>1.0</VERSION><NAME>ServerSettings.txt</NAME></SERVERS>\n"
          "<MOVIES_SETTINGS><VERSION>1.1</VERSION><NAME>MoviesSettings.txt</NAME>"
          "</MOVIES_SETTINGS>\n"
          "<CATEGORY><VERSION>1.0</VERSION><NAME>Gone.txt</NAME></CATEGORY>\n"
          "<EXE_UPDATE><VERSION>2</VERSION><NAME>http://get/</NAME></EXE_UPDATE>\n"
          "</UPDATE_SETTINGS>\n");
    // A plain list among them is what the folder is made of; a scrambled one is not.
    Write("src/SearchSettings.txt", CFileHandler::Scramble(Read("src/SearchSettings.txt")));
    EXPECT_EQ(Run({"check", Path("src")}), 1);
    const std::vector<std::string> expected = {
        "MoviesSettings.txt:4: category \"No File\" has no FILE_NAME",
        "MoviesSettings.txt:5: category \"Unsafe\": FILE_NAME \"../etc/x.txt\" is not a plain",
        "Broken.txt: does not load",
        "MoviesSettings.txt:6: category \"Broken\": its file \"Broken.txt\" does not load",
        "MoviesSettings.txt:7: a CATEGORY without NAME is skipped whole",
        "TV.txt:2: VERSION \"7\" is not a dotted version",
        "TV.txt:4: a station without CAPTION in menu \"TV\" is skipped",
        "TV.txt:5: station \"Silent\" has no URL",
        "TV.txt:6: station \"Disk\": \"/srv/a.ts\" is not a network address",
        "TV.txt:8: station \"Cut\": the player drops \"&y=2\"",
        "TV.txt:9: a menu without CAPTION in menu \"TV\" is skipped with everything in it",
        "TV.txt:11: caption \"Twice\" appears twice in menu \"TV\" (first on line 10)",
        "SearchSettings.txt: is scrambled beside plain list sources",
        "SearchSettings.txt:5: engine \"Nowhere\" has no PREFIX",
        "UpdateSettings.txt:3: names MoviesSettings.txt with VERSION \"1.1\" but the file says "
        "\"1.0\"",
        "UpdateSettings.txt:4: names Gone.txt, which is missing",
        "UpdateSettings.txt:5: VERSION \"2\" is not a dotted version",
        "UpdateSettings.txt: does not name SearchSettings.txt",
        "UpdateSettings.txt: does not name TV.txt",
        "19 findings",
    };
    std::istringstream output(m_strOut);
    std::vector<std::string> found;
    for (std::string strLine; std::getline(output, strLine);)
        found.push_back(strLine);
    ASSERT_EQ(found.size(), expected.size()) << m_strOut;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(found[i].rfind(expected[i], 0), 0u) << found[i] << "\nexpected " << expected[i];
}

} // namespace
