#include "ReadBytes.h"

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
