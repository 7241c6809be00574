#include "config/ServerList.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace
{
using ServerListTest = ScratchHome;

std::string Servers()
{
    CArrayString arrServers;
    Settings().GetServers(arrServers);
    std::string strJoined;
    for (uint32_t i = 0; i < arrServers.GetCount(); ++i)
        strJoined += Text(arrServers.GetAt(i)) + " ";
    return strJoined;
}

TEST_F(ServerListTest, ReadsUrlsInOrderOrFallsBackToTheInstalledList)
{
    const std::string strDataList = "data/ORVANTA/res/ServerSettings.txt";
    Write(strDataList, CFileHandler::Scramble(
                           "<LIST><VERSION>1.0</VERSION><URL>http://a/</URL><url></url>\n"
                           "<Url>http://b/</Url><OTHER>http://c/</OTHER><VERSION>2.0</VERSION>"
                           "</LIST>"));
    EXPECT_EQ(Servers(), "http://a/ http://b/ ");
    EXPECT_EQ(Text(Settings().GetServerSettingsVersion()), "2.0");

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_root);
    std::filesystem::remove(Path(strDataList));
    Write("res/ServerSettings.txt", CFileHandler::Scramble("<L><URL>http://installed/</URL></L>"));
    EXPECT_EQ(Servers(), "http://installed/ ");
    // A malformed list in the data folder is used as it is: no servers, no fallback.
    Write(strDataList, CFileHandler::Scramble("<L><URL>http://broken/</URL>"));
    EXPECT_EQ(Servers(), "");
    std::filesystem::current_path(previous);
}

TEST_F(ServerListTest, SelectsTheFirstServerThatAnswers)
{
    const CLocalSocket refusing(-1), accepting(16), alsoAccepting(16);
    CArrayString arrServers;
    arrServers.Add(accepting.Url("/lists/").c_str()); // the first one counts too
    EXPECT_EQ(Text(SelectServer(arrServers, "x")), accepting.Url("/lists/"));
    arrServers.RemoveAll();
    arrServers.Add("not a url");
    arrServers.Add(refusing.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrServers, "UpdateSettings.txt")), "");
    arrServers.Add(accepting.Url("/lists/").c_str());
    arrServers.Add(alsoAccepting.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrServers, "UpdateSettings.txt")), accepting.Url("/lists/"));
}
} // namespace
