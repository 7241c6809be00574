#include "config/Settings.h"
#include "TestSupport.h"
#include "platform/StoreFile.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace
{
class SettingsTest : public ScratchHome
{
protected:
    void Store(const char* pszName, const char* pszValue)
    {
        ASSERT_EQ(CStoreFile().WriteValue("SOFTWARE\\ORVANTA", pszName, pszValue), 0);
    }
    // An executable script in the scratch home.
    std::string Script(const std::string& name, const std::string& body)
    {
        const std::filesystem::path path = m_root / "bin" / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path.parent_path().string();
    }

    Settings m_settings;
};

TEST_F(SettingsTest, FreshAccountDefaults)
{
    EXPECT_TRUE(m_settings.IsCopySettings());
    EXPECT_FALSE(m_settings.IsInstallNeeded());
    EXPECT_EQ(m_settings.GetVolume(), 50);
    EXPECT_FALSE(m_settings.GetMute());
    EXPECT_EQ(Text(m_settings.GetInstallPath()), "");
    EXPECT_EQ(Text(m_settings.GetProgramVersion()), "");
    EXPECT_EQ(Text(m_settings.GetServerSettingsVersion()), "");
    EXPECT_EQ(Text(m_settings.GetFileVersion("News.txt")), "");
    EXPECT_EQ(Text(m_settings.GetStationUrl(0)), "");
    // Reading opened, and so created, the program's key.
    EXPECT_TRUE(CStoreFile().KeyExists("SOFTWARE\\ORVANTA"));
}

TEST_F(SettingsTest, StoredTextIsReadByTheExactRules)
{
    Store("Copy Settings", "false"); // only "FALSE" switches it off
    Store("Mute", "true");           // only "TRUE" switches it on
    Store("Install Needed", "TRUE");
    Store("VOLUME", "75x"); // found ignoring case, leading digits count
    EXPECT_TRUE(m_settings.IsCopySettings());
    EXPECT_FALSE(m_settings.GetMute());
    EXPECT_TRUE(m_settings.IsInstallNeeded());
    EXPECT_EQ(m_settings.GetVolume(), 75);
    Store("Volume", "abc");
    EXPECT_EQ(m_settings.GetVolume(), 0);
    m_settings.SetCopySettings(false);
    EXPECT_FALSE(m_settings.IsCopySettings());
}

TEST_F(SettingsTest, SettersRoundTrip)
{
    m_settings.SetVolume(-3);
    m_settings.SetMute(true);
    m_settings.SetProgramVersion("1.18");
    m_settings.SetMoviesSettingsVersion("2.4");
    m_settings.SetSearchSettingsVersion("3.1");
    m_settings.SetFileVersion("Sport News.TXT", "7.0.1");
    m_settings.SetStationName(4, "Caf\xC3\xA9 TV");
    m_settings.SetStationUrl(4, "http://s/live?a=1&b=2");
    EXPECT_EQ(m_settings.GetVolume(), -3);
    EXPECT_TRUE(m_settings.GetMute());
    EXPECT_EQ(Text(m_settings.GetProgramVersion()), "1.18");
    EXPECT_EQ(Text(m_settings.GetMoviesSettingsVersion()), "2.4");
    EXPECT_EQ(Text(m_settings.GetSearchSettingsVersion()), "3.1");
    EXPECT_EQ(Text(m_settings.GetFileVersion("Sport News.TXT")), "7.0.1");
    EXPECT_EQ(Text(m_settings.GetStationName(4)), "Caf\xC3\xA9 TV");
    EXPECT_EQ(Text(m_settings.GetStationUrl(4)), "http://s/live?a=1&b=2");
    EXPECT_TRUE(CStoreFile().KeyExists("SOFTWARE\\ORVANTA\\Stations\\4"));
}

TEST_F(SettingsTest, NegativePresetIndexTouchesNothing)
{
    m_settings.SetStationName(-1, "x");
    EXPECT_EQ(Text(m_settings.GetStationName(-1)), "");
    EXPECT_EQ(Text(m_settings.GetStationUrl(-1)), "");
    EXPECT_FALSE(std::filesystem::exists(StorePath()));
}

TEST_F(SettingsTest, DataFolderAndIconPaths)
{
    const std::string res = (m_root / "data/ORVANTA/res/").string();
    EXPECT_EQ(Text(m_settings.GetResFolder()), res);
    EXPECT_TRUE(std::filesystem::is_directory(res));
    EXPECT_EQ(Text(m_settings.GetIconFilePath("http://server/a,b?c")),
              res + "http___server_a_b_c.gif");
    EXPECT_EQ(Text(m_settings.GetIconFilePath("x\\y:z.[]{}<>")), res + "x_y_z_______.gif");
    EXPECT_EQ(Text(m_settings.GetCacheIconPath("http://server/i/c.gif")),
              res + "CacheIcons/http___server_i_c_gif.gif");
    EXPECT_TRUE(std::filesystem::is_directory(res + "CacheIcons"));

    // Long URLs keep a short name that still tells them apart.
    const std::string base = "http://img.example.net/" + std::string(300, 'a');
    const std::string first = Text(m_settings.GetCacheIconPath(CMyString((base + "1").c_str())));
    const std::string second = Text(m_settings.GetCacheIconPath(CMyString((base + "2").c_str())));
    const std::string name = std::filesystem::path(first).filename().string();
    EXPECT_EQ(name.size(), 100u + 17u + 4u);
    EXPECT_EQ(name.substr(0, 23), "http___img_example_net_");
    EXPECT_NE(first, second);
}

TEST_F(SettingsTest, DefaultBrowserFromTheDesktopEntry)
{
    const std::string bin = Script(
        "xdg-settings", "[ \"$1 $2\" = \"get default-web-browser\" ] && echo my-web.desktop");
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    const std::filesystem::path applications = m_root / "data/applications";
    std::filesystem::create_directories(applications);
    std::ofstream(applications / "my-web.desktop")
        << "[Desktop Action New]\nExec=wrong\n[Desktop Entry]\nName=Web\n"
           "Exec=env GDK_BACKEND=x11 \"/opt/My Web/web\" --new %u\n";
    CMyString strBrowser("fallback");
    m_settings.DetectDefaultBrowser(strBrowser);
    EXPECT_EQ(Text(strBrowser), "/opt/My Web/web");

    // An entry that is not there, or no desktop query at all, leaves the text unchanged.
    std::filesystem::remove(applications / "my-web.desktop");
    strBrowser = "fallback";
    m_settings.DetectDefaultBrowser(strBrowser);
    EXPECT_EQ(Text(strBrowser), "fallback");
    setenv("PATH", (m_root / "nothing").c_str(), 1);
    m_settings.DetectDefaultBrowser(strBrowser);
    EXPECT_EQ(Text(strBrowser), "fallback");
}
} // namespace
