#include "config/Settings.h"
#include "TestSupport.h"
#include "platform/StoreFile.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

    Settings m_settings;
};

TEST_F(SettingsTest, DefaultsAndTheExactRulesForStoredText)
{
    EXPECT_TRUE(m_settings.IsCopySettings());
    EXPECT_EQ(m_settings.GetVolume(), 50);
    EXPECT_EQ(Text(m_settings.GetStationUrl(0)), "");
    EXPECT_TRUE(CStoreFile().KeyExists("SOFTWARE\\ORVANTA")); // reading created the key

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
    m_settings.SetStationUrl(4, "http://s/live?a=1&b=2");
    EXPECT_TRUE(CStoreFile().KeyExists("SOFTWARE\\ORVANTA\\Stations\\4"));
    m_settings.SetStationName(-1, "x"); // a negative preset index touches nothing
    EXPECT_EQ(Text(m_settings.GetStationName(-1)), "");
    EXPECT_FALSE(CStoreFile().KeyExists("SOFTWARE\\ORVANTA\\Stations\\-1"));
}

TEST_F(SettingsTest, IconPathsAreFlatNamesInTheDataFolder)
{
    const std::string strRes = (m_root / "data/ORVANTA/res/").string();
    EXPECT_EQ(Text(m_settings.GetIconFilePath("x\\y:z.[]{}<>,?")), strRes + "x_y_z_________.gif");
    EXPECT_EQ(Text(m_settings.GetCacheIconPath("http://server/i/c.gif")),
              strRes + "CacheIcons/http___server_i_c_gif.gif");
    EXPECT_TRUE(std::filesystem::is_directory(strRes + "CacheIcons"));
    // A name of the longest length stays whole; longer ones keep a short name that still tells
    // them apart.
    EXPECT_EQ(Text(m_settings.GetCacheIconPath(("http://i/" + std::string(111, 'a')).c_str())),
              strRes + "CacheIcons/http___i_" + std::string(111, 'a') + ".gif");
    const std::string strBase = "http://img.example.net/" + std::string(300, 'a');
    const std::string strFirst = Text(m_settings.GetCacheIconPath((strBase + "1").c_str()));
    EXPECT_EQ(std::filesystem::path(strFirst).filename().string().substr(0, 23),
              "http___img_example_net_");
    EXPECT_NE(strFirst, Text(m_settings.GetCacheIconPath((strBase + "2").c_str())));
}

TEST_F(SettingsTest, DefaultBrowserFromTheDesktopEntry)
{
    const std::string strPath = std::getenv("PATH");
    Write("bin/xdg-settings", "#!/bin/sh\n[ \"$1 $2\" = \"get default-web-browser\" ] && "
                              "echo my-web.desktop\n");
    chmod(Path("bin/xdg-settings").c_str(), 0755);
    setenv("PATH", (Path("bin") + ":/usr/bin:/bin").c_str(), 1);
    Write("data/applications/my-web.desktop",
          "[Desktop Action New]\nExec=wrong\n[Desktop Entry]\nName=Web\n"
          "Exec=env GDK_BACKEND=x11 \"/opt/My Web/web\" --new %u\n");
    CMyString strBrowser("fallback");
    m_settings.DetectDefaultBrowser(strBrowser);
    EXPECT_EQ(Text(strBrowser), "/opt/My Web/web");
    // No desktop query at all leaves the text unchanged.
    strBrowser = "fallback";
    setenv("PATH", Path("nothing").c_str(), 1);
    m_settings.DetectDefaultBrowser(strBrowser);
    setenv("PATH", strPath.c_str(), 1);
    EXPECT_EQ(Text(strBrowser), "fallback");
}
} // namespace
