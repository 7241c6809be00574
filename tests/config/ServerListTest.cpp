#include "config/ServerList.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace
{
class ServerListTest : public ScratchHome
{
protected:
    void WriteList(const std::filesystem::path& path, const std::string& text)
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << CFileHandler::Scramble(text);
    }
    std::string Servers()
    {
        CArrayString arrServers;
        Settings().GetServers(arrServers);
        std::string joined;
        for (uint32_t i = 0; i < arrServers.GetCount(); ++i)
            joined += Text(arrServers.GetAt(i)) + " ";
        return joined;
    }
    std::filesystem::path DataList() const
    {
        return m_root / "data/ORVANTA/res/ServerSettings.txt";
    }
};

TEST_F(ServerListTest, ReadsUrlsInOrderAndRecordsTheVersion)
{
    WriteList(DataList(), "<LIST><VERSION>1.0</VERSION><URL>http://a/</URL><url></url>\n"
                          "<Url>http://b/</Url><OTHER>http://c/</OTHER><VERSION>2.0</VERSION>"
                          "</LIST>");
    EXPECT_EQ(Servers(), "http://a/ http://b/ ");
    EXPECT_EQ(Text(Settings().GetServerSettingsVersion()), "2.0");
}

TEST_F(ServerListTest, FallsBackToTheInstalledListInTheCurrentFolder)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_root);
    WriteList(m_root / "res/ServerSettings.txt", "<L><URL>http://installed/</URL></L>");
    EXPECT_EQ(Servers(), "http://installed/ ");
    // A malformed list in the data folder is used as it is: no servers, no fallback.
    WriteList(DataList(), "<L><URL>http://broken/</URL>");
    EXPECT_EQ(Servers(), "");
    std::filesystem::remove(m_root / "res/ServerSettings.txt");
    std::filesystem::remove(DataList());
    EXPECT_EQ(Servers(), "");
    std::filesystem::current_path(previous);
}

TEST_F(ServerListTest, SelectsTheFirstServerThatAnswers)
{
    const CLocalSocket refusing(-1);
    const CLocalSocket accepting(16);
    const CLocalSocket alsoAccepting(16);
    CArrayString arrServers;
    arrServers.Add(refusing.Url("/lists/").c_str());
    arrServers.Add(accepting.Url("/lists/").c_str());
    arrServers.Add(alsoAccepting.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrServers, "UpdateSettings.txt")), accepting.Url("/lists/"));

    CArrayString arrDead;
    arrDead.Add(refusing.Url("/lists/").c_str());
    arrDead.Add("not a url");
    EXPECT_EQ(Text(SelectServer(arrDead, "UpdateSettings.txt")), "");
    EXPECT_EQ(Text(SelectServer(CArrayString(), "UpdateSettings.txt")), "");

    WriteList(DataList(), "<L><URL>" + refusing.Url("/lists/") + "</URL><URL>" +
                              alsoAccepting.Url("/lists/") + "</URL></L>");
    EXPECT_EQ(Text(FindFirstReachableServer("InstallPageOrvanta.htm")),
              alsoAccepting.Url("/lists/"));
}
} // namespace
