#include "platform/FileNameCase.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace
{

bool IsFile(const std::string& strPath)
{
    struct stat info
    {
    };
    return stat(strPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& strPath)
{
    struct stat info
    {
    };
    return stat(strPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry of strFolder whose name equals strName ignoring ASCII case, or "" when none does.
std::string FindEntryIgnoringCase(const std::string& strFolder, const std::string& strName)
{
    DIR* pFolder = opendir(strFolder.empty() ? "." : strFolder.c_str());
    if (pFolder == nullptr)
        return {};
    std::string strFound;
    while (const dirent* pEntry = readdir(pFolder))
    {
        if (strcasecmp(pEntry->d_name, strName.c_str()) == 0)
        {
            strFound = pEntry->d_name;
            break;
        }
    }
    closedir(pFolder);
    return strFound;
}

} // namespace

std::string FindFileIgnoringCase(const std::string& strPath)
{
    if (strPath.empty())
        return {};
    if (IsFile(strPath))
        return strPath;

    std::vector<std::string> components;
    size_t uStart = 0;
    while (uStart <= strPath.size())
    {
        size_t uEnd = strPath.find('/', uStart);
        if (uEnd == std::string::npos)
            uEnd = strPath.size();
        components.push_back(strPath.substr(uStart, uEnd - uStart));
        uStart = uEnd + 1;
    }

    // Rebuild the path one component at a time, taking each from what the folder holds.
    std::string strResult = strPath[0] == '/' ? "/" : "";
    for (size_t i = 0; i < components.size(); ++i)
    {
        const std::string& strName = components[i];
        bool bLast = i + 1 == components.size();
        if (strName.empty() || strName == "." || strName == "..")
        {
            if (bLast)
                return {};
            if (!strName.empty())
                strResult += strName + "/";
            continue;
        }
        std::string strCandidate = strResult + strName;
        bool bExists = bLast ? IsFile(strCandidate) : IsFolder(strCandidate);
        if (!bExists)
        {
            std::string strEntry = FindEntryIgnoringCase(strResult, strName);
            if (strEntry.empty())
                return {};
            strCandidate = strResult + strEntry;
            if (bLast ? !IsFile(strCandidate) : !IsFolder(strCandidate))
                return {};
        }
        strResult = bLast ? strCandidate : strCandidate + "/";
    }
    return strResult;
}
