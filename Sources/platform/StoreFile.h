#pragma once

#include "text/MyString.h"

#include <cstdint>

// The per-user store of the program's settings: string values under key paths such as
// "SOFTWARE\ORVANTA\Stations\0", kept in one text file, $XDG_CONFIG_HOME/ORVANTA/settings.ini
// (default ~/.config). Key paths and value names are matched ignoring ASCII case.
//
// Every call reads the file afresh; nothing is cached and no handle is kept. A write takes an
// exclusive lock on a lock file beside the store, reads the current content, changes one value,
// writes a temporary file and renames it over the store, so that two threads or two processes
// writing different values never lose one, and a reader always sees a whole file. Lines that do
// not parse are skipped, so a damaged or hand-edited file reads as if those values were absent.
class CStoreFile
{
public:
    // Answer of ReadValue when the key exists but holds no value of that name.
    static constexpr int ERROR_NO_MORE_ITEMS = 259;

    // The store in the user's configuration folder.
    CStoreFile();
    // A store in the given file, for tools and tests.
    explicit CStoreFile(CMyString strFilePath);

    // $XDG_CONFIG_HOME/ORVANTA/settings.ini, with ~/.config when the variable is unset or not
    // an absolute path; empty when there is no home folder either.
    static CMyString DefaultFilePath();
    const CMyString& GetFilePath() const { return m_strFilePath; }

    // 0 and the value; ERROR_NO_MORE_ITEMS when the key has no such value; when the key is
    // missing, the same after creating it if bCreateKey is set, otherwise ENOENT. A system error
    // code (errno) when the store cannot be read or the key cannot be created.
    int ReadValue(const CMyString& strKeyPath, const CMyString& strName, bool bCreateKey,
                  CMyString& strValue) const;
    // Sets one value, creating its key; a value whose name matches ignoring case is replaced
    // and keeps its stored name. 0 or a system error code.
    int WriteValue(const CMyString& strKeyPath, const CMyString& strName,
                   const CMyString& strValue) const;
    bool KeyExists(const CMyString& strKeyPath) const;

private:
    CMyString m_strFilePath;
};
