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
class ServerListTest : public ScratchHome
{
protected:
    void WriteList(const std::string& strName, const std::string& strText)
    {
        Write(strName, CFileHandler::Scramble(strText));
    }
    std::string Servers()
    {
        CArrayString arrServers;
        Settings().GetServers(arrServers);
        std::string strJoined;
        for (uint32_t i = 0; i < arrServers.GetCount(); ++i)
            strJoined += Text(arrServers.GetAt(i)) + " ";
        return strJoined;
    }

    const std::string m_strDataList = "data/ORVANTA/res/ServerSettings.txt";
};

TEST_F(ServerListTest, ReadsUrlsInOrderOrFallsBackToTheInstalledList)
{
    WriteList(m_strDataList, "<LIST><VERSION>1.0</VERSION><URL>http://a/</URL><url></url>\n"
                             "<Url>http://b/</Url><OTHER>http://c/</OTHER><VERSION>2.0</VERSION>"
                             "</LIST>");
    EXPECT_EQ(Servers(), "http://a/ http://b/ ");
    EXPECT_EQ(Text(Settings().GetServerSettingsVersion()), "2.0");

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_root);
    std::filesystem::remove(Path(m_strDataList));
    WriteList("res/ServerSettings.txt", "<L><URL>http://installed/</URL></L>");
    EXPECT_EQ(Servers(), "http://installed/ ");
    // A malformed list in the data folder is used as it is: no servers, no fallback.
    WriteList(m_strDataList, "<L><URL>http://broken/</URL>");
    EXPECT_EQ(Servers(), "");
    std::filesystem::remove(Path(m_strDataList));
    std::filesystem::remove(Path("res/ServerSettings.txt"));
    EXPECT_EQ(Servers(), "");
    std::filesystem::current_path(previous);
}

TEST_F(ServerListTest, SelectsTheFirstServerThatAnswers)
{
    const CLocalSocket refusing(-1), accepting(16), alsoAccepting(16);
    CArrayString arrServers;
    arrServers.Add("not a url");
    arrServers.Add(refusing.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrServers, "UpdateSettings.txt")), "");
    EXPECT_EQ(Text(SelectServer(CArrayString(), "UpdateSettings.txt")), "");
    CArrayString arrFirstAnswers;
    arrFirstAnswers.Add(accepting.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrFirstAnswers, "x")), accepting.Url("/lists/"));
    arrServers.Add(accepting.Url("/lists/").c_str());
    arrServers.Add(alsoAccepting.Url("/lists/").c_str());
    EXPECT_EQ(Text(SelectServer(arrServers, "UpdateSettings.txt")), accepting.Url("/lists/"));
}
} // namespace
