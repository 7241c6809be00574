#include "platform/SingleInstanceLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CSingleInstanceLock::~CSingleInstanceLock()
{
    Release();
}

CMyString CSingleInstanceLock::LockFilePath(const CMyString& strName)
{
    CMyString strFileName = strName;
    strFileName.Replace("/", "_");

    const char* pszRuntime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (pszRuntime != nullptr && pszRuntime[0] == '/' && stat(pszRuntime, &st) == 0 &&
        S_ISDIR(st.st_mode))
    {
        CMyString strPath(pszRuntime);
        strPath.AppendPath(strFileName);
        return strPath;
    }
    // /tmp is shared by all users, so the user id keeps their locks apart.
    CMyString strPath("/tmp/");
    strPath += strFileName;
    strPath += "-";
    strPath += std::to_string(getuid()).c_str();
    return strPath;
}

bool CSingleInstanceLock::Acquire(const CMyString& strName)
{
    if (IsHeld())
        return true;
    CMyString strPath = LockFilePath(strName);
    // O_NOFOLLOW: in /tmp another user could have placed a link under the expected name.
    int nFd = open(strPath.GetBuffer(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (nFd < 0)
        return false;
    // The lock belongs to this open file description; closing it, or the process ending,
    // gives it back.
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0)
    {
        close(nFd);
        return false;
    }
    m_nFd = nFd;
    return true;
}

void CSingleInstanceLock::Release()
{
    if (m_nFd >= 0)
    {
        close(m_nFd);
        m_nFd = -1;
    }
}
