#include "config/FileHandler.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class FileHandlerTest : public ScratchHome
{
protected:
    CMyString MyPath(const std::string& strName) const { return CMyString(Path(strName).c_str()); }

    // Every entry of a folder, so that a stray temporary file shows up.
    size_t CountEntries(const std::string& strFolder) const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Path(strFolder)), {}));
    }
    std::string Unscramble(const std::string& strName, uint32_t uKey = SCRAMBLE_KEY)
    {
        CMyString strText;
        EXPECT_TRUE(m_handler.ReadScrambledFile(MyPath(strName), strText, uKey));
        return strText.IsEmpty() ? "" : strText.GetBuffer();
    }

    CFileHandler m_handler;
};

TEST_F(FileHandlerTest, FileExistsForFilesAndFoldersButNotDanglingLinks)
{
    Write("file", "x");
    fs::create_symlink(Path("missing"), Path("dangling"));
    EXPECT_TRUE(m_handler.FileExists(MyPath("file")));
    EXPECT_TRUE(m_handler.FileExists(MyPath("")));
    EXPECT_FALSE(m_handler.FileExists(MyPath("missing")));
    EXPECT_FALSE(m_handler.FileExists(MyPath("dangling")));
    EXPECT_FALSE(m_handler.FileExists(CMyString()));
}

TEST_F(FileHandlerTest, CreateFolderPathMakesEveryLevelButNoLinkOrFile)
{
    EXPECT_TRUE(m_handler.CreateFolderPath(MyPath("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(Path("a/b/c")));
    EXPECT_TRUE(m_handler.CreateFolderPath(MyPath("a/b/")));

    // The folder asked for must not be a link, though links further up are used.
    fs::create_directory(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("link"));
    EXPECT_FALSE(m_handler.CreateFolderPath(MyPath("link/")));
    EXPECT_TRUE(m_handler.CreateFolderPath(MyPath("link/inner/")));

    Write("plain", "x");
    EXPECT_FALSE(m_handler.CreateFolderPath(MyPath("plain/")));
    EXPECT_FALSE(m_handler.CreateFolderPath(MyPath("plain/sub/")));
}

TEST_F(FileHandlerTest, CreateFolderPathWorksOnRelativePaths)
{
    const fs::path previous = fs::current_path();
    fs::current_path(m_strRoot);
    EXPECT_TRUE(m_handler.CreateFolderPath("res/Skin/"));
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_directory(Path("res/Skin")));
}

TEST_F(FileHandlerTest, CopyOneFileHonoursOverwriteAndLeavesNoTemporaryFile)
{
    Write("source", "new");
    Write("target", "old");
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("missing"), MyPath("copy"), true));
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath(""), MyPath("copy"), true));
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("target"), false));
    EXPECT_EQ(Read("target"), "old");
    EXPECT_TRUE(m_handler.CopyOneFile(MyPath("source"), MyPath("target"), true));
    EXPECT_EQ(Read("target"), "new");
    EXPECT_TRUE(m_handler.CopyOneFile(MyPath("source"), MyPath("copy"), false));
    EXPECT_EQ(Read("copy"), "new");
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("nofolder/copy"), true));
    EXPECT_EQ(CountEntries(""), 3u);

    // A link in the target's place is replaced, never written through.
    Write("victim", "keep");
    fs::create_symlink(Path("victim"), Path("link"));
    EXPECT_FALSE(m_handler.CopyOneFile(MyPath("source"), MyPath("link"), false));
    EXPECT_TRUE(m_handler.CopyOneFile(MyPath("source"), MyPath("link"), true));
    EXPECT_FALSE(fs::is_symlink(Path("link")));
    EXPECT_EQ(Read("victim"), "keep");
}

TEST_F(FileHandlerTest, CopyFolderAddsMissingFilesAndKeepsExistingOnes)
{
    Write("outside", "secret");
    fs::create_directories(Path("outer"));
    Write("outer/data", "outer");
    fs::create_directories(Path("src/Skin/Parts"));
    Write("src/list.txt", "installed");
    Write("src/new.txt", "fresh");
    Write("src/Skin/Parts/p.gif", "gif");
    fs::create_symlink(Path("outside"), Path("src/file-link"));
    fs::create_directory_symlink(Path("outer"), Path("src/folder-link"));
    fs::create_directories(Path("dst"));
    Write("dst/list.txt", "user");

    EXPECT_TRUE(m_handler.CopyFolder(MyPath("src/"), MyPath("dst/"), true));
    EXPECT_EQ(Read("dst/list.txt"), "user");
    EXPECT_EQ(Read("dst/new.txt"), "fresh");
    EXPECT_EQ(Read("dst/Skin/Parts/p.gif"), "gif");
    EXPECT_FALSE(fs::exists(fs::symlink_status(Path("dst/file-link"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Path("dst/folder-link"))));
    EXPECT_EQ(CountEntries("dst"), 3u);
}

TEST_F(FileHandlerTest, CopyFolderDoesNotWriteThroughALinkInTheTarget)
{
    fs::create_directories(Path("src/Skin"));
    Write("src/Skin/a.gif", "a");
    fs::create_directories(Path("elsewhere"));
    fs::create_directories(Path("dst"));
    fs::create_directory_symlink(Path("elsewhere"), Path("dst/Skin"));

    EXPECT_TRUE(m_handler.CopyFolder(MyPath("src"), MyPath("dst"), true));
    EXPECT_EQ(CountEntries("elsewhere"), 0u);
    EXPECT_FALSE(m_handler.CopyFolder(MyPath("src/Skin/"), MyPath("dst/Skin/"), true));
    EXPECT_EQ(CountEntries("elsewhere"), 0u);
}

TEST_F(FileHandlerTest, CopyFolderFromAMissingSourceCreatesTheTarget)
{
    EXPECT_TRUE(m_handler.CopyFolder(MyPath("missing/"), MyPath("data/res/"), true));
    EXPECT_TRUE(fs::is_directory(Path("data/res")));
    Write("plain", "x");
    EXPECT_FALSE(m_handler.CopyFolder(MyPath("missing/"), MyPath("plain/res/"), true));
}

TEST_F(FileHandlerTest, ScrambledFilesRoundTrip)
{
    std::string strLong;
    for (int i = 0; strLong.size() <= 3001; ++i)
        strLong += "<URL>http://server-" + std::to_string(i) + "/lists/</URL>\n";
    strLong.resize(3001);
    std::string strShort;
    for (char c = 'a'; strShort.size() <= 9; ++c)
    {
        Write("short", CFileHandler::Scramble(strShort));
        EXPECT_EQ(Unscramble("short"), strShort);
        strShort += c;
    }
    Write("long", CFileHandler::Scramble(strLong));
    EXPECT_EQ(Unscramble("long"), strLong);

    // A file cut short inside its last word keeps exactly the bytes it has.
    Write("unpadded", CFileHandler::Scramble("abcde").substr(0, 5));
    EXPECT_EQ(Unscramble("unpadded"), "abcde");
}

TEST_F(FileHandlerTest, ScrambledFilesUseTheLittleEndianKeyAndStopAtNul)
{
    EXPECT_EQ(CFileHandler::Scramble("abc"), std::string("\xC7\x75\x5D\x5C"));
    Write("abc", CFileHandler::Scramble("abc"));
    EXPECT_EQ(Unscramble("abc"), "abc");
    EXPECT_EQ(Unscramble("abc", 0x12345678u), "\xBF\x23\x69\x4E");

    // Read as stored: no line-end translation.
    Write("crlf", CFileHandler::Scramble("a\r\nb"));
    EXPECT_EQ(Unscramble("crlf"), "a\r\nb");

    CMyString strText("kept");
    EXPECT_FALSE(m_handler.ReadScrambledFile(MyPath("missing"), strText));
    EXPECT_FALSE(m_handler.ReadScrambledFile(MyPath(""), strText));
    EXPECT_STREQ(strText.GetBuffer(), "kept");
}

TEST_F(FileHandlerTest, WriteBufferFileReplacesTheFileWhole)
{
    Write("list", "an older and longer list");
    EXPECT_TRUE(m_handler.WriteBufferFile(MyPath("list"), "data", 4));
    EXPECT_EQ(Read("list"), std::string("data\0", 5));

    EXPECT_FALSE(m_handler.WriteBufferFile(MyPath("list"), "data", 0));
    EXPECT_TRUE(fs::exists(Path("list")));
    EXPECT_EQ(Read("list"), "");
    EXPECT_FALSE(m_handler.WriteBufferFile(MyPath("other"), nullptr, 3));
    EXPECT_EQ(Read("other"), "");

    EXPECT_FALSE(m_handler.WriteBufferFile(MyPath("missing/list"), "data", 4));
    EXPECT_FALSE(fs::exists(Path("missing")));
    EXPECT_EQ(CountEntries(""), 2u);
}

} // namespace
