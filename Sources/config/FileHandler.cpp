#include "config/FileHandler.h"

#include "net/MyBuffer.h"
#include "platform/TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Reads until the buffer is full or the file ends, so that a short read in the middle of a file
// never shifts what follows. Answers the bytes read; a read error ends the file.
size_t ReadFull(int nFile, unsigned char* pBuffer, size_t uSize)
{
    size_t uDone = 0;
    while (uDone < uSize)
    {
        const ssize_t nRead = ::read(nFile, pBuffer + uDone, uSize - uDone);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            break;
        uDone += static_cast<size_t>(nRead);
    }
    return uDone;
}

// Appends uSize bytes (holding no NUL) to the text, growing it only when the room reserved for
// it is used up; false when the text would pass the largest length a string can have.
bool AppendBytes(CMyString& strText, const unsigned char* pBytes, size_t uSize)
{
    if (uSize == 0)
        return true;
    const uint64_t uLength = uint64_t{strText.GetLength()} + uSize;
    if (uLength >= UINT32_MAX - 1)
        return false;
    if (uLength + 1 > strText.GetMaxCount())
        strText.Reserve(static_cast<uint32_t>(uLength + uLength / 2 + 1));
    if (strText.GetMaxCount() < uLength + 1)
        return false;
    std::memcpy(strText.GetBuffer() + strText.GetLength(), pBytes, uSize);
    strText.SetLength(static_cast<uint32_t>(uLength));
    return true;
}

// Opens a file for reading without blocking on a pipe or device; only regular files are
// accepted. Answers -1 otherwise.
int OpenRegularFile(const CMyString& strPath, struct stat& info)
{
    if (strPath.IsEmpty())
        return -1;
    const int nFile = ::open(strPath.GetBuffer(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (nFile < 0)
        return -1;
    if (::fstat(nFile, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(nFile);
        return -1;
    }
    return nFile;
}

// The path without its trailing separators ("/" stays "/").
CMyString WithoutTrailingSeparators(const CMyString& strPath)
{
    uint32_t uLength = strPath.GetLength();
    while (uLength > 1 && strPath.GetAt(uLength - 1) == '/')
        --uLength;
    return strPath.Mid(0, uLength);
}

CMyString WithTrailingSeparator(const CMyString& strPath)
{
    CMyString strResult(strPath);
    if (!strResult.IsEmpty() && strResult.GetAt(strResult.GetLength() - 1) != '/')
        strResult.AppendChar('/');
    return strResult;
}

bool IsRealFolder(const char* pszPath)
{
    struct stat info = {};
    return ::lstat(pszPath, &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool CFileHandler::FileExists(const CMyString& strPath)
{
    struct stat info = {};
    return !strPath.IsEmpty() && ::stat(strPath.GetBuffer(), &info) == 0;
}

bool CFileHandler::CreateFolderPath(const CMyString& strFolderPath)
{
    if (strFolderPath.IsEmpty())
        return false;
    // The folder asked for must be a real folder; a symbolic link there could lead the files
    // written into it anywhere.
    const CMyString strFolder = WithoutTrailingSeparators(strFolderPath);
    struct stat info = {};
    if (::lstat(strFolder.GetBuffer(), &info) == 0)
        return S_ISDIR(info.st_mode);

    // Create each missing prefix that ends in a separator, from the root down. A path without a
    // final separator is taken as the folder it names.
    const CMyString strPath = WithTrailingSeparator(strFolderPath);
    for (uint32_t uEnd = strPath.Find('/', 1); uEnd != MY_NOT_FOUND;
         uEnd = strPath.Find('/', uEnd + 1))
    {
        const CMyString strPrefix = strPath.Mid(0, uEnd + 1);
        if (::mkdir(strPrefix.GetBuffer(), 0755) == 0)
            continue;
        // Folders further up are used as they are, also when a link leads to them.
        if (errno != EEXIST || ::stat(strPrefix.GetBuffer(), &info) != 0 || !S_ISDIR(info.st_mode))
            return false;
    }
    return IsRealFolder(strFolder.GetBuffer());
}

bool CFileHandler::CopyOneFile(const CMyString& strSource, const CMyString& strTarget,
                               bool bOverwrite)
{
    struct stat info = {};
    const int nSource = OpenRegularFile(strSource, info);
    if (nSource < 0)
        return false;
    struct stat targetInfo = {};
    if (strTarget.IsEmpty() || (!bOverwrite && ::lstat(strTarget.GetBuffer(), &targetInfo) == 0))
    {
        ::close(nSource);
        return false;
    }

    CTemporaryFile temporary(strTarget);
    bool bCopied = temporary.IsOpen();
    if (bCopied)
    {
        // The copy keeps the source's permissions, but the user may always rewrite it.
        ::fchmod(temporary.GetDescriptor(), (info.st_mode & 0777) | S_IRUSR | S_IWUSR);
        unsigned char block[65536];
        size_t uRead = 0;
        while (bCopied && (uRead = ReadFull(nSource, block, sizeof block)) > 0)
            bCopied = WriteAllBytes(temporary.GetDescriptor(), block, uRead);
    }
    ::close(nSource);
    return bCopied && temporary.Commit(bOverwrite);
}

bool CFileHandler::CopyFolder(const CMyString& strSource, const CMyString& strTarget,
                              bool bOverwrite)
{
    const CMyString strTargetFolder = WithTrailingSeparator(strTarget);
    if (!CreateFolderPath(strTargetFolder))
        return false;
    const CMyString strSourceFolder = WithTrailingSeparator(strSource);
    if (strSourceFolder.IsEmpty())
        return true;
    DIR* pFolder = ::opendir(strSourceFolder.GetBuffer());
    if (pFolder == nullptr)
        return true;

    // A target inside the source must not be copied into itself over and over.
    struct stat targetInfo = {};
    ::stat(strTargetFolder.GetBuffer(), &targetInfo);

    while (const dirent* pEntry = ::readdir(pFolder))
    {
        const CMyString strName(pEntry->d_name);
        if (strName.IsEqual(".") || strName.IsEqual(".."))
            continue;
        CMyString strSourcePath(strSourceFolder);
        strSourcePath.Append(strName);
        CMyString strTargetPath(strTargetFolder);
        strTargetPath.Append(strName);

        // Symbolic links are skipped: the copy never leaves the source tree.
        struct stat info = {};
        if (::lstat(strSourcePath.GetBuffer(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
        {
            if (info.st_dev == targetInfo.st_dev && info.st_ino == targetInfo.st_ino)
                continue;
            strSourcePath.AppendChar('/');
            strTargetPath.AppendChar('/');
            CopyFolder(strSourcePath, strTargetPath, bOverwrite);
        }
        else if (S_ISREG(info.st_mode))
        {
            // Files that are already in the target stay as they are.
            CopyOneFile(strSourcePath, strTargetPath, false);
        }
    }
    ::closedir(pFolder);
    return true;
}

namespace
{
// Scrambled data is read and unscrambled this many bytes at a time: a whole number of blocks.
constexpr size_t UNSCRAMBLE_CHUNK = 64 * SCRAMBLE_BLOCK;

// Unscrambles the uRead bytes at pChunk in place and appends the text of each 1024-byte block up
// to its first NUL (the padding of the last block, or a NUL inside the list). The buffer has room
// for three more bytes: the padding past the end was scrambled too, so whole words are
// unscrambled. A chunk starts at a block boundary, so the key stays aligned with the words.
// False when the text cannot grow.
bool AppendUnscrambledChunk(unsigned char* pChunk, size_t uRead, uint32_t uKey, CMyString& strText)
{
    const unsigned char keyBytes[4] = {
        static_cast<unsigned char>(uKey), static_cast<unsigned char>(uKey >> 8),
        static_cast<unsigned char>(uKey >> 16), static_cast<unsigned char>(uKey >> 24)};
    uint32_t uKeyWord = 0;
    std::memcpy(&uKeyWord, keyBytes, 4);
    const size_t uWords = (uRead + 3) / 4;
    std::memset(pChunk + uRead, 0, uWords * 4 - uRead);
    for (size_t i = 0; i < uWords; ++i)
    {
        uint32_t uWord = 0;
        std::memcpy(&uWord, pChunk + i * 4, 4);
        uWord ^= uKeyWord;
        std::memcpy(pChunk + i * 4, &uWord, 4);
    }
    for (size_t uStart = 0; uStart < uRead; uStart += SCRAMBLE_BLOCK)
    {
        const size_t uBlock = std::min(SCRAMBLE_BLOCK, uRead - uStart);
        const void* pNul = std::memchr(pChunk + uStart, 0, uBlock);
        const size_t uText =
            pNul != nullptr
                ? static_cast<size_t>(static_cast<const unsigned char*>(pNul) - (pChunk + uStart))
                : uBlock;
        if (!AppendBytes(strText, pChunk + uStart, uText))
            return false;
    }
    return true;
}
} // namespace

bool CFileHandler::ReadScrambledFile(const CMyString& strPath, CMyString& strText, uint32_t uKey)
{
    struct stat info = {};
    const int nFile = OpenRegularFile(strPath, info);
    if (nFile < 0)
        return false;
    // One allocation for the whole text instead of one per block (one more byte, so that the
    // text may fill it to the end).
    const uint64_t uWanted =
        uint64_t{strText.GetLength()} + static_cast<uint64_t>(info.st_size) + 1;
    if (uWanted < UINT32_MAX)
        strText.Reserve(static_cast<uint32_t>(uWanted));

    std::vector<unsigned char> chunk(UNSCRAMBLE_CHUNK + sizeof(uint32_t));
    for (;;)
    {
        const size_t uRead = ReadFull(nFile, chunk.data(), UNSCRAMBLE_CHUNK);
        if (uRead == 0)
            break;
        if (!AppendUnscrambledChunk(chunk.data(), uRead, uKey, strText))
        {
            ::close(nFile);
            return false;
        }
        if (uRead < UNSCRAMBLE_CHUNK)
            break;
    }
    ::close(nFile);
    return true;
}

void CFileHandler::UnscrambleBuffer(const void* pData, size_t uSize, CMyString& strText,
                                    uint32_t uKey)
{
    const auto* pBytes = static_cast<const unsigned char*>(pData);
    if (pBytes == nullptr)
        return;
    std::vector<unsigned char> chunk(std::min(uSize, UNSCRAMBLE_CHUNK) + sizeof(uint32_t));
    for (size_t uDone = 0; uDone < uSize; uDone += UNSCRAMBLE_CHUNK)
    {
        const size_t uRead = std::min(UNSCRAMBLE_CHUNK, uSize - uDone);
        std::memcpy(chunk.data(), pBytes + uDone, uRead);
        if (!AppendUnscrambledChunk(chunk.data(), uRead, uKey, strText))
            return;
    }
}

bool CFileHandler::WriteBufferFile(const CMyString& strPath, const void* pData, size_t uSize)
{
    CTemporaryFile temporary(strPath);
    if (!temporary.IsOpen())
        return false;
    // A file that is replaced keeps its read and write permissions; a new one is readable by
    // everybody, like the lists the first run copies. A list is never a program: no execute
    // bits, whatever the file it replaces had.
    struct stat info = {};
    const mode_t mode = ::stat(strPath.GetBuffer(), &info) == 0 && S_ISREG(info.st_mode)
                            ? info.st_mode & 0666
                            : 0644;
    ::fchmod(temporary.GetDescriptor(), mode);

    const bool bHasData = pData != nullptr && uSize > 0;
    const unsigned char nul = 0;
    bool bWritten = true;
    if (bHasData)
        bWritten = WriteAllBytes(temporary.GetDescriptor(),
                                 static_cast<const unsigned char*>(pData), uSize) &&
                   WriteAllBytes(temporary.GetDescriptor(), &nul, 1);
    // Without data the target is still replaced, by an empty file.
    if (!bWritten)
        return false;
    return temporary.Commit(true) && bHasData;
}

bool CFileHandler::WriteBufferFile(const CMyString& strPath, const CMyBuffer& buffer)
{
    return WriteBufferFile(strPath, buffer.GetData(), buffer.GetUsed());
}

std::string CFileHandler::Scramble(std::string bytes, uint32_t uKey)
{
    bytes.resize((bytes.size() + 3) / 4 * 4, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^
                                     static_cast<unsigned char>(uKey >> (8 * (i % 4))));
    return bytes;
}

bool CFileHandler::ReadTextFile(const CMyString& strPath, CMyString& strText)
{
    if (strPath.IsEmpty())
        return false;
    std::FILE* pFile = std::fopen(strPath.GetBuffer(), "rb");
    if (pFile == nullptr)
        return false;

    // Read in blocks of up to 1023 bytes; a CR LF pair becomes LF, also when the pair
    // straddles two blocks.
    char block[1023];
    char text[sizeof block + 2];
    bool bPendingCarriageReturn = false;
    size_t uRead = 0;
    while ((uRead = std::fread(block, 1, sizeof block, pFile)) > 0)
    {
        size_t uKept = 0;
        for (size_t i = 0; i < uRead; ++i)
        {
            const char c = block[i];
            if (bPendingCarriageReturn && c != '\n')
                text[uKept++] = '\r';
            bPendingCarriageReturn = c == '\r';
            if (!bPendingCarriageReturn)
                text[uKept++] = c;
        }
        text[uKept] = '\0';
        strText.Append(text);
    }
    if (bPendingCarriageReturn)
        strText.Append("\r");
    std::fclose(pFile);
    return true;
}
