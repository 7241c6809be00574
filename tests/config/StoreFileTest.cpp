#include "platform/StoreFile.h"
#include "TestSupport.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
class StoreFileTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_store = CStoreFile(); // in the scratch home's configuration folder
    }
    std::string Get(const char* pszKey, const char* pszName, int nExpected = 0)
    {
        CMyString strValue("untouched");
        EXPECT_EQ(m_store.ReadValue(CMyString(pszKey), CMyString(pszName), false, strValue),
                  nExpected);
        return Text(strValue);
    }

    CStoreFile m_store{CMyString()};
};

TEST_F(StoreFileTest, KeepsAnyTextMatchesNamesIgnoringCaseAndTellsWhatIsMissing)
{
    EXPECT_EQ(Text(m_store.GetFilePath()), StorePath().string());
    EXPECT_EQ(Get("SOFTWARE\\ORVANTA", "Volume", ENOENT), "untouched");
    EXPECT_FALSE(std::filesystem::exists(StorePath())); // a plain read creates nothing
    CMyString strValue;
    EXPECT_EQ(m_store.ReadValue("SOFTWARE\\ORVANTA", "Volume", true, strValue),
              CStoreFile::ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(m_store.KeyExists("SOFTWARE\\ORVANTA"));
    EXPECT_FALSE(m_store.KeyExists("SOFTWARE\\ORVANTA\\Stations"));
    EXPECT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "75"), 0);
    EXPECT_EQ(Get("software\\orvanta\\", "VOLUME"), "75");
    // A write under another spelling replaces the value and keeps the stored name.
    EXPECT_EQ(m_store.WriteValue("Software\\Orvanta", "VOLUME", "20"), 0);
    const std::string strContent = Read("config/ORVANTA/settings.ini");
    EXPECT_NE(strContent.find("Volume=20\n"), std::string::npos);
    EXPECT_EQ(strContent.find("VOLUME"), std::string::npos);
    // Any text round-trips, also in names.
    int nIndex = 0;
    for (const char* pszValue : {"a=b&c=%41", "line\nbreak\r\n", "[not a key]", "#not a comment",
                                 "\xD0\x9F\xD1\x80\xD0\xB8", " spaced ", ""})
    {
        const std::string strName = "name=" + std::to_string(nIndex++) + "[#%";
        ASSERT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA\\Stations\\0", strName.c_str(), pszValue),
                  0);
        EXPECT_EQ(Get("SOFTWARE\\ORVANTA\\Stations\\0", strName.c_str()), pszValue);
    }
}

TEST_F(StoreFileTest, DamagedFileReadsWhatItCanAndHealsOnWrite)
{
    Write("config/ORVANTA/settings.ini",
          std::string("Orphan=1\n[SOFTWARE\\ORVANTA\nVolume=9\n[SOFTWARE\\ORVANTA]\n#Note=1\n"
                      "garbage line\n\x01\xFF\xFE=\x00junk\nMute=TRUE\nBad=%G1%4\n"
                      "[SOFTWARE\\ORVANTA]\nMute=FALSE\n",
                      126));
    EXPECT_EQ(Get("SOFTWARE\\ORVANTA", "Mute"), "TRUE"); // the first listing of a key counts
    EXPECT_EQ(Get("SOFTWARE\\ORVANTA", "Bad"), "%G1%4");
    Get("SOFTWARE\\ORVANTA", "Orphan", CStoreFile::ERROR_NO_MORE_ITEMS);
    Get("SOFTWARE\\ORVANTA", "#Note", CStoreFile::ERROR_NO_MORE_ITEMS); // a comment
    ASSERT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "30"), 0);
    EXPECT_EQ(Get("SOFTWARE\\ORVANTA", "Volume"), "30");
    EXPECT_EQ(Get("SOFTWARE\\ORVANTA", "Mute"), "TRUE");
    // The configuration folder is a file: nothing can be written, and reads find nothing.
    std::filesystem::remove_all(m_root / "config");
    Write("config", "not a folder");
    EXPECT_NE(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "1"), 0);
    CMyString strValue("kept");
    EXPECT_NE(m_store.ReadValue("SOFTWARE\\ORVANTA", "Volume", true, strValue), 0);
    EXPECT_EQ(Text(strValue), "kept");
}

// Two processes with two threads each write 250 values of their own; none may be lost, and no
// temporary file may be left behind.
TEST_F(StoreFileTest, ConcurrentWritersLoseNothing)
{
    const auto WriteAll = [this](int nProcess)
    {
        std::vector<std::thread> threads;
        for (int nFirst = nProcess * 500; nFirst < nProcess * 500 + 500; nFirst += 250)
            threads.emplace_back(
                [this, nFirst]
                {
                    for (int n = nFirst; n < nFirst + 250; ++n)
                        m_store.WriteValue("SOFTWARE\\ORVANTA", std::to_string(n).c_str(),
                                           std::to_string(n).c_str());
                });
        for (std::thread& thread : threads)
            thread.join();
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        WriteAll(1);
        _exit(0);
    }
    WriteAll(0);
    int nStatus = 0;
    ASSERT_EQ(waitpid(child, &nStatus, 0), child);
    ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);

    int nMissing = 0;
    for (int n = 0; n < 1000; ++n)
        nMissing += Get("SOFTWARE\\ORVANTA", std::to_string(n).c_str()) != std::to_string(n);
    EXPECT_EQ(nMissing, 0);
    const auto entries = std::filesystem::directory_iterator(StorePath().parent_path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2); // the store and its lock file
}
} // namespace
