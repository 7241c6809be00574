#pragma once

#include "text/MyString.h"

// The hives the program's values live in. The program's own values are the current user's;
// the local machine's store is the operating system's and has no writable counterpart here.
enum class RegHive
{
    CurrentUser,
    LocalMachine,
};

// Low-level access to one key of the settings store: each call opens the store, reads or writes
// one value and closes it again.
class RegClass
{
public:
    RegClass(RegHive hive, const char* pszRootPath);
    RegClass(const RegClass&) = default;
    RegClass& operator=(const RegClass&) = default;
    virtual ~RegClass() = default;

    // Key = root path + "\" + subkey, created when missing. 0 or a system error code; a missing
    // subkey, name or text answers 0 and writes nothing.
    int WriteValue(const char* pszSubKey, const char* pszName, const char* pszText);
    // 0 and the text of the value found ignoring ASCII case; 259 when the key has no such value
    // (the key is created when missing); another error code when the store cannot be read, and
    // then the text is untouched.
    int ReadValue(const char* pszSubKey, const char* pszName, CMyString& strText);
    // Reads a value without creating anything: false when the key does not exist.
    static bool QueryValue(RegHive hive, const char* pszKeyPath, const char* pszName,
                           CMyString& strText);

private:
    CMyString KeyPath(const char* pszSubKey) const;

    char m_szRootPath[260];
    RegHive m_hive;
};
