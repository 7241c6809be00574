#include "config/RegClass.h"

#include "platform/StoreFile.h"

#include <cerrno>
#include <cstring>

RegClass::RegClass(RegHive hive, const char* pszRootPath) : m_szRootPath{}, m_hive(hive)
{
    if (pszRootPath != nullptr)
        std::strncpy(m_szRootPath, pszRootPath, sizeof m_szRootPath - 1);
}

CMyString RegClass::KeyPath(const char* pszSubKey) const
{
    CMyString strPath(m_szRootPath);
    strPath += "\\";
    strPath += pszSubKey;
    return strPath;
}

int RegClass::WriteValue(const char* pszSubKey, const char* pszName, const char* pszText)
{
    if (pszSubKey == nullptr || pszName == nullptr || pszText == nullptr)
        return 0;
    // The operating system's own settings have no writable store here.
    if (m_hive != RegHive::CurrentUser)
        return EACCES;
    return CStoreFile().WriteValue(KeyPath(pszSubKey), CMyString(pszName), CMyString(pszText));
}

int RegClass::ReadValue(const char* pszSubKey, const char* pszName, CMyString& strText)
{
    if (pszSubKey == nullptr || pszName == nullptr)
        return CStoreFile::ERROR_NO_MORE_ITEMS;
    if (m_hive != RegHive::CurrentUser)
        return ENOENT;
    CMyString strValue;
    const int nResult =
        CStoreFile().ReadValue(KeyPath(pszSubKey), CMyString(pszName), true, strValue);
    if (nResult == 0)
        strText = strValue;
    return nResult;
}

bool RegClass::QueryValue(RegHive hive, const char* pszKeyPath, const char* pszName,
                          CMyString& strText)
{
    if (hive != RegHive::CurrentUser || pszKeyPath == nullptr)
        return false;
    CMyString strValue;
    if (CStoreFile().ReadValue(CMyString(pszKeyPath), CMyString(pszName), false, strValue) != 0)
        return false;
    strText = strValue;
    return true;
}
