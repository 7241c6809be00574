#include "config/FileHandler.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace
{

class FileHandlerTest : public ScratchHome
{
protected:
    CMyString MyPath(const std::string& strName) const { return CMyString(Path(strName).c_str()); }
    size_t CountEntries(const std::string& strFolder) const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Path(strFolder)), {}));
    }
    std::string Unscramble(const std::string& strBytes, uint32_t uKey = SCRAMBLE_KEY)
    {
        Write("scrambled", strBytes);
        CMyString strText;
        EXPECT_TRUE(m_handler.ReadScrambledFile(MyPath("scrambled"), strText, uKey));
        return strText.IsEmpty() ? "" : strText.GetBuffer();
    }

    CFileHandler m_handler;
};

TEST_F(FileHandlerTest, FileExistsAndCreateFolderPathAroundLinks)
{
    Write("plain", "x");
    fs::create_symlink(Path("missing"), Path("dangling"));
    EXPECT_TRUE(m_handler.FileExists(MyPath("plain")));
    EXPECT_TRUE(m_handler.FileExists(MyPath("")));
    EXPECT_FALSE(m_handler.FileExists(MyPath("dangling")));
    EXPECT_FALSE(m_handler.FileExists(CMyString()));
    EXPECT_TRUE(m_handler.CreateFolderPath(MyPath("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(Path("a/b/c")));
    EXPECT_TRUE(m_handler.CreateFolderPath("/"));
    // The folder asked for must not be a link, though links further up are used.
    fs::create_directory_symlink(Path("a"), Path("link"));
    EXPECT_FALSE(m_handler.CreateFolderPath(MyPath("link/")));
    EXPECT_TRUE(m_handler.CreateFolderPath(MyPath("link/inner/")));
    EXPECT_FALSE(m_handler.CreateFolderPath(MyPath("plain/sub/")));

    const fs::path previous = fs::current_path();
    fs::current_path(m_strRoot);
    EXPECT_TRUE(m_handler.CreateFolderPath("res/Skin/"));
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_directory(Path("res/Skin")));
}

TEST_F(FileHandlerTest, CopyOneFileHonoursOverwriteAndNeverWritesThroughALink)
{
    Write("source", "new");
    Write("target", "old");
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("missing"), MyPath("copy"), true));
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("target"), false));
    EXPECT_EQ(Read("target"), "old");
    EXPECT_TRUE(m_handler.CopyOneFile(MyPath("source"), MyPath("target"), true));
    EXPECT_EQ(Read("target"), "new");
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("nofolder/copy"), true));
    EXPECT_EQ(CountEntries(""), 2u); // no temporary file is left behind
    // A link in the target's place is replaced, never written through.
    Write("victim", "keep");
    fs::create_symlink(Path("victim"), Path("link"));
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("link"), false));
    EXPECT_TRUE(m_handler.CopyOneFile(MyPath("source"), MyPath("link"), true));
    EXPECT_FALSE(fs::is_symlink(Path("link")));
    EXPECT_EQ(Read("victim"), "keep");
}

TEST_F(FileHandlerTest, CopyFolderAddsMissingFilesAndFollowsNoLink)
{
    Write("outside", "secret");
    Write("outer/data", "outer");
    Write("src/list.txt", "installed");
    Write("src/new.txt", "fresh");
    Write("src/Parts/Deep/p.gif", "gif");
    Write("src/Skin/a.gif", "a");
    fs::create_symlink(Path("outside"), Path("src/file-link"));
    fs::create_directory_symlink(Path("outer"), Path("src/folder-link"));
    Write("dst/list.txt", "user");
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("dst/Skin"));

    EXPECT_TRUE(m_handler.CopyFolder(MyPath("src/"), MyPath("dst/"), true));
    EXPECT_EQ(Read("dst/list.txt"), "user");
    EXPECT_EQ(Read("dst/new.txt"), "fresh");
    EXPECT_EQ(Read("dst/Parts/Deep/p.gif"), "gif");
    EXPECT_EQ(CountEntries("dst"), 4u); // the links in the source are not copied
    EXPECT_EQ(CountEntries("elsewhere"), 0u);
    EXPECT_FALSE(m_handler.CopyFolder(MyPath("src/Skin/"), MyPath("dst/Skin/"), true));
    EXPECT_EQ(CountEntries("elsewhere"), 0u);
    // A missing source still creates the target.
    EXPECT_TRUE(m_handler.CopyFolder(MyPath("missing/"), MyPath("data/res/"), true));
    EXPECT_TRUE(fs::is_directory(Path("data/res")));
    EXPECT_FALSE(m_handler.CopyFolder(MyPath("missing/"), MyPath("outside/res/"), true));
}

TEST_F(FileHandlerTest, ScrambledFilesRoundTrip)
{
    EXPECT_EQ(CFileHandler::Scramble("abc"), std::string("\xC7\x75\x5D\x5C")); // little-endian key
    EXPECT_EQ(Unscramble(CFileHandler::Scramble("abc"), 0x12345678u), "\xBF\x23\x69\x4E");
    // Every length around the word size, no line-end translation, and a text longer than one
    // read; each 1024-byte block ends at its first NUL, and the next block goes on.
    std::string strText;
    for (char c = 'a'; strText.size() <= 9; ++c, strText += c)
        EXPECT_EQ(Unscramble(CFileHandler::Scramble(strText)), strText);
    for (int i = 0; strText.size() < 200000; ++i)
        strText += "<CAPTION>Channel " + std::to_string(i) + "</CAPTION>\r\n";
    EXPECT_EQ(Unscramble(CFileHandler::Scramble(strText)), strText);
    std::string strWithNul(2048, 'x');
    strWithNul[1000] = '\0';
    EXPECT_EQ(Unscramble(CFileHandler::Scramble(strWithNul)), std::string(1000 + 1024, 'x'));
    // A file cut short inside its last word keeps exactly the bytes it has.
    EXPECT_EQ(Unscramble(CFileHandler::Scramble("abcde").substr(0, 5)), "abcde");
    CMyString strKept("kept");
    EXPECT_FALSE(m_handler.ReadScrambledFile(MyPath("missing"), strKept));
    EXPECT_STREQ(strKept.GetBuffer(), "kept");
}

TEST_F(FileHandlerTest, WriteBufferFileReplacesTheFileWhole)
{
    Write("list", "an older and longer list");
    EXPECT_TRUE(m_handler.WriteBufferFile(MyPath("list"), "data", 4));
    EXPECT_EQ(Read("list"), std::string("data\0", 5));
    EXPECT_FALSE(m_handler.WriteBufferFile(MyPath("list"), "data", 0));
    EXPECT_EQ(Read("list"), "");
    EXPECT_FALSE(m_handler.WriteBufferFile(MyPath("missing/list"), "data", 4));
    EXPECT_EQ(CountEntries(""), 1u);
}

} // namespace
