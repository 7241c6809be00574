#include "config/FileHandler.h"

#include <cstdio>

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
