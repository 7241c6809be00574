#pragma once

#include "text/MyString.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CMyBuffer;

// The key every scrambled settings file is XORed with, in little-endian byte order.
inline constexpr uint32_t SCRAMBLE_KEY = 0x5C3E17A6u;
// Scrambled files are read in blocks of this many bytes; each block's text ends at its first NUL.
inline constexpr size_t SCRAMBLE_BLOCK = 1024;

// File operations on UTF-8 paths. No state: make one on the stack where needed.
//
// Settings files are never written in place: a write goes to a temporary file in the same folder
// that is renamed over the target, so a crash or a full disk never leaves half a list.
class CFileHandler
{
public:
    CFileHandler() = default;
    CFileHandler(const CFileHandler&) = default;
    CFileHandler& operator=(const CFileHandler&) = default;
    virtual ~CFileHandler() = default;

    // True when the path names an existing file or folder.
    bool FileExists(const CMyString& strPath);
    // Creates every missing folder of a path that ends in a separator. Existing folders along the
    // way are used as they are, but the folder asked for must not be a symbolic link.
    bool CreateFolderPath(const CMyString& strFolderPath);
    // False when the source does not exist, or the target exists and bOverwrite is false.
    bool CopyOneFile(const CMyString& strSource, const CMyString& strTarget, bool bOverwrite);
    // Copies a folder tree, never following a symbolic link in either tree; files already in the
    // target stay as they are. False only when the target folder cannot be created.
    bool CopyFolder(const CMyString& strSource, const CMyString& strTarget, bool bOverwrite);
    // Appends the unscrambled text of the file, up to the first NUL of each block; false when
    // the file cannot be opened.
    bool ReadScrambledFile(const CMyString& strPath, CMyString& strText,
                           uint32_t uKey = SCRAMBLE_KEY);
    // Appends the unscrambled text of bytes as ReadScrambledFile reads them from a file.
    static void UnscrambleBuffer(const void* pData, size_t uSize, CMyString& strText,
                                 uint32_t uKey = SCRAMBLE_KEY);
    // Appends the text of the file with CR LF read as LF; false when it cannot be opened.
    bool ReadTextFile(const CMyString& strPath, CMyString& strText);
    // Replaces the file with the bytes followed by one NUL. False when the file cannot be
    // written or there are no bytes (the file is then left empty).
    bool WriteBufferFile(const CMyString& strPath, const void* pData, size_t uSize);
    // The same for the used bytes of a buffer.
    bool WriteBufferFile(const CMyString& strPath, const CMyBuffer& buffer);

    // The scrambled form of a text as the lists' authors publish it: padded with NUL bytes to
    // whole 32-bit words and XORed with the key. Unscrambling is the same operation.
    static std::string Scramble(std::string bytes, uint32_t uKey = SCRAMBLE_KEY);
};
