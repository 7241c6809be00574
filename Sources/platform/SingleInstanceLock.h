#pragma once

#include "text/MyString.h"

// A named lock that one process of the user holds at a time: an flock on a file named after the
// lock in $XDG_RUNTIME_DIR (or /tmp, with the user id in the name). The kernel releases it when
// the process ends, also after a crash.
class CSingleInstanceLock
{
public:
    CSingleInstanceLock() = default;
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;
    virtual ~CSingleInstanceLock();

    // True when this object now holds the lock; false when another holder has it or the lock
    // file cannot be made.
    bool Acquire(const CMyString& strName);
    void Release();
    bool IsHeld() const { return m_nFd >= 0; }

    static CMyString LockFilePath(const CMyString& strName);

private:
    int m_nFd = -1;
};
