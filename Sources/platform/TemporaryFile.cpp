#include "platform/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

bool WriteAllBytes(int nFile, const void* pvData, size_t uSize)
{
    const auto* pData = static_cast<const unsigned char*>(pvData);
    while (uSize > 0)
    {
        const ssize_t nWritten = ::write(nFile, pData, uSize);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        pData += nWritten;
        uSize -= static_cast<size_t>(nWritten);
    }
    return true;
}

CTemporaryFile::CTemporaryFile(const CMyString& strTarget) : m_strTarget(strTarget)
{
    if (strTarget.IsEmpty())
    {
        m_nError = ENOENT;
        return;
    }
    m_strPath = strTarget;
    m_strPath.Append(".XXXXXX");
    m_nFile = ::mkostemp(m_strPath.GetBuffer(), O_CLOEXEC);
    if (m_nFile < 0)
    {
        m_nError = errno;
        m_strPath.Empty();
    }
}

CTemporaryFile::~CTemporaryFile()
{
    if (m_nFile >= 0)
        ::close(m_nFile);
    if (!m_strPath.IsEmpty())
        ::unlink(m_strPath.GetBuffer());
}

bool CTemporaryFile::Commit(bool bReplace)
{
    if (m_nFile < 0)
        return false;
    const bool bSynced = ::fdatasync(m_nFile) == 0;
    if (!bSynced)
        m_nError = errno;
    const bool bClosed = ::close(m_nFile) == 0;
    if (!bClosed && bSynced)
        m_nError = errno;
    m_nFile = -1;
    if (!bSynced || !bClosed)
        return false;
    if (!MoveOverTarget(bReplace))
    {
        m_nError = errno;
        return false;
    }
    m_strPath.Empty();
    return true;
}

bool CTemporaryFile::MoveOverTarget(bool bReplace)
{
    const char* pszFrom = m_strPath.GetBuffer();
    const char* pszTo = m_strTarget.GetBuffer();
    if (bReplace)
        return ::rename(pszFrom, pszTo) == 0;
    if (::renameat2(AT_FDCWD, pszFrom, AT_FDCWD, pszTo, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace rename: a hard link fails the same way when the
    // target exists.
    if (::link(pszFrom, pszTo) != 0)
        return false;
    ::unlink(pszFrom);
    return true;
}
