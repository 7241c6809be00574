#include "platform/SingleInstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// A folder that only this user can have made and can write to: a real folder (not a link),
// owned by the user, closed to group and others.
bool IsPrivateFolder(const std::string& strFolder)
{
    struct stat info = {};
    return lstat(strFolder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

// The user's runtime folder: $XDG_RUNTIME_DIR when it is private, otherwise a private folder
// below $TMPDIR (or /tmp) named after the user id, made when missing. Empty when neither can be
// had (another user made that folder first, say).
std::string PrivateRuntimeFolder()
{
    const char* pszRuntime = getenv("XDG_RUNTIME_DIR");
    if (pszRuntime != nullptr && pszRuntime[0] == '/' && IsPrivateFolder(pszRuntime))
        return pszRuntime;
    const char* pszTemporary = getenv("TMPDIR");
    std::string strBase = pszTemporary != nullptr && pszTemporary[0] == '/' ? pszTemporary : "/tmp";
    while (strBase.size() > 1 && strBase.back() == '/')
        strBase.pop_back();
    const std::string strFolder = strBase + "/orvanta-" + std::to_string(getuid());
    if (mkdir(strFolder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(strFolder) ? strFolder : std::string();
}
} // namespace

CSingleInstanceLock::~CSingleInstanceLock()
{
    Release();
}

CMyString CSingleInstanceLock::LockFilePath(const CMyString& strName)
{
    const std::string strFolder = PrivateRuntimeFolder();
    if (strFolder.empty())
        return CMyString();
    CMyString strFileName = strName;
    strFileName.Replace("/", "_");
    CMyString strPath(strFolder.c_str());
    strPath.AppendPath(strFileName);
    return strPath;
}

CSingleInstanceLock::Result CSingleInstanceLock::TryAcquire(const CMyString& strName)
{
    if (IsHeld())
        return Result::Acquired;
    const CMyString strPath = LockFilePath(strName);
    if (strPath.IsEmpty())
        return Result::Unavailable;
    // O_NOFOLLOW: the file must be this folder's own, never a link to somewhere else.
    const int nFd = open(strPath.GetBuffer(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (nFd < 0)
        return Result::Unavailable;
    // The lock belongs to this open file description; closing it, or the process ending,
    // gives it back. Only a lock that a live process holds refuses it.
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0)
    {
        const int nError = errno;
        close(nFd);
        return nError == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_nFd = nFd;
    return Result::Acquired;
}

void CSingleInstanceLock::Release()
{
    if (m_nFd >= 0)
    {
        close(m_nFd);
        m_nFd = -1;
    }
}
