#pragma once

#include "text/MyString.h"

// A named lock that one process of the user holds at a time: an flock on a file named after the
// lock in the user's runtime folder ($XDG_RUNTIME_DIR, or else a folder of the user's own below
// $TMPDIR or /tmp). The kernel releases it when the process ends, also after a crash.
class CSingleInstanceLock
{
public:
    enum class Result
    {
        // This object now holds the lock.
        Acquired,
        // Another live process holds it.
        HeldElsewhere,
        // No lock can be had here (no private folder, a file that cannot be opened): nobody
        // holds it either.
        Unavailable,
    };

    CSingleInstanceLock() = default;
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;
    virtual ~CSingleInstanceLock();

    Result TryAcquire(const CMyString& strName);
    // True when this object now holds the lock.
    bool Acquire(const CMyString& strName) { return TryAcquire(strName) == Result::Acquired; }
    void Release();
    bool IsHeld() const { return m_nFd >= 0; }

    // The lock file's path; empty when the user has no private folder to keep it in.
    static CMyString LockFilePath(const CMyString& strName);

private:
    int m_nFd = -1;
};
