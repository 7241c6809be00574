#include "ReadBytes.h"

#include "platform/TemporaryFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

bool ReadBytes(const char* pszPath, std::string& bytes, int& nError)
{
    nError = 0;
    std::FILE* pFile = std::fopen(pszPath, "rb");
    if (pFile == nullptr)
    {
        nError = errno;
        return false;
    }
    char block[65536];
    size_t uRead = 0;
    while ((uRead = std::fread(block, 1, sizeof block, pFile)) > 0)
        bytes.append(block, uRead);
    const bool bRead = std::ferror(pFile) == 0;
    if (!bRead)
        nError = errno;
    std::fclose(pFile);
    return bRead;
}

bool WriteWholeFile(const std::string& strPath, const std::string& bytes)
{
    CTemporaryFile temporary{CMyString(strPath.c_str())};
    if (!temporary.IsOpen())
        return false;
    const mode_t uMask = ::umask(0);
    ::umask(uMask);
    ::fchmod(temporary.GetDescriptor(), 0666 & ~uMask);
    return WriteAllBytes(temporary.GetDescriptor(), bytes.data(), bytes.size()) &&
           temporary.Commit(true);
}
