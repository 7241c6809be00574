#pragma once

#include "text/MyString.h"

#include <cstddef>

// Writes all of the bytes to a file descriptor, going on after interrupted or short writes.
bool WriteAllBytes(int nFile, const void* pData, size_t uSize);

// A new file next to the target that is renamed over it once it is complete, so that readers
// only ever see the old or the whole new content. The file is removed unless it was committed.
class CTemporaryFile
{
public:
    explicit CTemporaryFile(const CMyString& strTarget);
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    ~CTemporaryFile();

    bool IsOpen() const { return m_nFile >= 0; }
    int GetDescriptor() const { return m_nFile; }
    // errno of the last failure.
    int GetError() const { return m_nError; }

    // Flushes the file to disk and moves it over the target. With bReplace false an existing
    // target (also one that appeared meanwhile) is left alone and the answer is false.
    bool Commit(bool bReplace);

private:
    bool MoveOverTarget(bool bReplace);

    CMyString m_strTarget;
    CMyString m_strPath;
    int m_nFile = -1;
    int m_nError = 0;
};
