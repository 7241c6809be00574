#include "platform/StoreFile.h"
#include "TestSupport.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

    std::string Read(const char* pszKey, const char* pszName, int nExpected = 0)
    {
        CMyString strValue("untouched");
        EXPECT_EQ(m_store.ReadValue(CMyString(pszKey), CMyString(pszName), false, strValue),
                  nExpected);
        return Text(strValue);
    }
    void WriteFile(const std::string& content)
    {
        std::filesystem::create_directories(StorePath().parent_path());
        std::ofstream(StorePath(), std::ios::binary) << content;
    }

    CStoreFile m_store{CMyString()};
};

TEST_F(StoreFileTest, LivesInTheConfigFolderAndMatchesNamesIgnoringCase)
{
    EXPECT_EQ(Text(m_store.GetFilePath()), StorePath().string());
    EXPECT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "75"), 0);
    EXPECT_EQ(Read("software\\orvanta\\", "VOLUME"), "75");
    // A write under another spelling replaces the value and keeps the stored name.
    EXPECT_EQ(m_store.WriteValue("Software\\Orvanta", "VOLUME", "20"), 0);
    std::ifstream file(StorePath());
    const std::string content((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(content.find("Volume=20\n"), std::string::npos);
    EXPECT_EQ(content.find("VOLUME"), std::string::npos);
}

TEST_F(StoreFileTest, AnyTextRoundTrips)
{
    const char* apszValues[] = {"a=b&c=%41",      "line\nbreak\r\n",          "[not a key]",
                                "#not a comment", "\xD0\x9F\xD1\x80\xD0\xB8", " spaced "};
    int nIndex = 0;
    for (const char* pszValue : apszValues)
    {
        const std::string name = "name=" + std::to_string(nIndex++) + "[#%";
        ASSERT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA\\Stations\\0", name.c_str(), pszValue), 0);
        EXPECT_EQ(Read("SOFTWARE\\ORVANTA\\Stations\\0", name.c_str()), pszValue);
    }
    EXPECT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA", "Empty", ""), 0);
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Empty"), "");
}

TEST_F(StoreFileTest, MissingKeysAndValues)
{
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Volume", ENOENT), "untouched");
    EXPECT_FALSE(std::filesystem::exists(StorePath())); // a plain read creates nothing
    CMyString strValue;
    EXPECT_EQ(m_store.ReadValue("SOFTWARE\\ORVANTA", "Volume", true, strValue),
              CStoreFile::ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(m_store.KeyExists("SOFTWARE\\ORVANTA"));
    EXPECT_FALSE(m_store.KeyExists("SOFTWARE\\ORVANTA\\Stations"));
}

TEST_F(StoreFileTest, DamagedFileReadsWhatItCanAndHealsOnWrite)
{
    WriteFile(std::string("Orphan=1\n[SOFTWARE\\ORVANTA\nVolume=9\n[SOFTWARE\\ORVANTA]\n"
                          "garbage line\n\x01\xFF\xFE=\x00junk\nMute=TRUE\nBad=%G1%4\n"
                          "[SOFTWARE\\ORVANTA]\nMute=FALSE\n",
                          118));
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Mute"), "TRUE"); // the first listing of a key counts
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Bad"), "%G1%4");
    Read("SOFTWARE\\ORVANTA", "Orphan", CStoreFile::ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "30"), 0);
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Volume"), "30");
    EXPECT_EQ(Read("SOFTWARE\\ORVANTA", "Mute"), "TRUE");
}

TEST_F(StoreFileTest, UnusableLocationFailsQuietly)
{
    // The configuration folder is a file: nothing can be written, and reads find nothing.
    std::ofstream(m_root / "config") << "not a folder";
    EXPECT_NE(m_store.WriteValue("SOFTWARE\\ORVANTA", "Volume", "1"), 0);
    CMyString strValue("kept");
    EXPECT_NE(m_store.ReadValue("SOFTWARE\\ORVANTA", "Volume", true, strValue), 0);
    EXPECT_EQ(Text(strValue), "kept");
}

// Two processes with two threads each write 1,000 values of their own; none may be lost, and
// no temporary file may be left behind.
TEST_F(StoreFileTest, ConcurrentWritersLoseNothing)
{
    constexpr int kValuesPerThread = 250;
    const auto WriteAll = [this](int nProcess)
    {
        std::vector<std::thread> threads;
        for (int nThread = 0; nThread < 2; ++nThread)
            threads.emplace_back(
                [this, nProcess, nThread]
                {
                    for (int i = 0; i < kValuesPerThread; ++i)
                    {
                        const std::string name = "p" + std::to_string(nProcess) + "t" +
                                                 std::to_string(nThread) + "v" + std::to_string(i);
                        m_store.WriteValue("SOFTWARE\\ORVANTA", name.c_str(), name.c_str());
                    }
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
    for (const char* pszProcess : {"p0", "p1"})
        for (const char* pszThread : {"t0", "t1"})
            for (int i = 0; i < kValuesPerThread; ++i)
            {
                const std::string name =
                    std::string(pszProcess) + pszThread + "v" + std::to_string(i);
                CMyString strValue;
                if (m_store.ReadValue("SOFTWARE\\ORVANTA", name.c_str(), false, strValue) != 0 ||
                    Text(strValue) != name)
                    ++nMissing;
            }
    EXPECT_EQ(nMissing, 0);
    int nFiles = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(StorePath().parent_path()))
        ++nFiles;
    EXPECT_EQ(nFiles, 2); // the store and its lock file
}
} // namespace
