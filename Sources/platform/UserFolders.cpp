#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

CMyString HomeFolder()
{
    const char* pszHome = std::getenv("HOME");
    if (pszHome != nullptr && *pszHome == '/')
        return CMyString(pszHome);

    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* pResult = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &pResult) == 0 &&
        pResult != nullptr && pResult->pw_dir != nullptr && *pResult->pw_dir == '/')
        return CMyString(pResult->pw_dir);
    return CMyString();
}

CMyString XdgFolder(const char* pszVariable, const char* pszBelowHome)
{
    // The XDG rules ignore a relative value.
    const char* pszValue = std::getenv(pszVariable);
    if (pszValue != nullptr && *pszValue == '/')
        return CMyString(pszValue);
    CMyString strFolder = HomeFolder();
    if (!strFolder.IsEmpty())
        strFolder.AppendPath(CMyString(pszBelowHome));
    return strFolder;
}

bool MakeFolders(const CMyString& strFolder, unsigned uMode)
{
    if (strFolder.IsEmpty())
        return false;
    const std::string path(strFolder.GetBuffer());
    for (size_t uSlash = path.find('/', 1);; uSlash = path.find('/', uSlash + 1))
    {
        const std::string prefix = path.substr(0, uSlash);
        if (!prefix.empty() && mkdir(prefix.c_str(), static_cast<mode_t>(uMode)) != 0 &&
            errno != EEXIST)
            return false;
        if (uSlash == std::string::npos)
            break;
    }
    struct stat status
    {
    };
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}
