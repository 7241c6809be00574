#include "ImportCommand.h"
#include "M3uPlaylist.h"
#include "ReadBytes.h"
#include "XmlText.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "directory/StationDirectory.h"
#include "shell/SearchEngines.h"
#include "text/MyXmlDom.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

int Fail(const std::string& strMessage, int nStatus = 1)
{
    std::fprintf(stderr, "orvanta-lists: %s\n", strMessage.c_str());
    return nStatus;
}

std::string Text(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

std::string JoinPath(const std::string& strFolder, const std::string& strName)
{
    CMyString strPath(strFolder.c_str());
    strPath.AppendPath(CMyString(strName.c_str()));
    return Text(strPath);
}

bool IsNamed(const CXmlNode* pNode, const char* pszName)
{
    return pNode->GetName().IsEqualNoCase(CMyString(pszName));
}

// The lists every folder has besides the category files; no category may take their names.
bool IsReservedListName(const std::string& strName)
{
    for (const char* pszReserved :
         {MOVIES_SETTINGS_FILE, SERVER_SETTINGS_FILE, SEARCH_SETTINGS_FILE, UPDATE_SETTINGS_FILE})
        if (IsEqualNoCaseAscii(strName, pszReserved))
            return true;
    return false;
}

// A file name made of the category name's letters and digits ("Free TV" gives "FreeTV.txt").
std::string FileNameOf(const std::string& strCategory)
{
    std::string strName;
    for (const char c : strCategory)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_')
            strName += c;
    return (strName.empty() ? std::string("Category") : strName) + ".txt";
}

// The movies settings of the source folder as far as the import needs them.
struct SMoviesSettings
{
    bool bExists = false;
    std::string strText;
    CMyXmlDom dom;
    // The first CATEGORY with the imported name, and its FILE_NAME.
    const CXmlNode* pCategory = nullptr;
    std::string strCategoryFile;
    // FILE_NAMEs of the other categories.
    std::vector<std::string> otherFiles;
};

bool ReadMoviesSettings(const std::string& strPath, const std::string& strCategory,
                        SMoviesSettings& movies)
{
    int nError = 0;
    if (!ReadBytes(strPath.c_str(), movies.strText, nError))
    {
        if (nError == ENOENT)
            return true;
        Fail("cannot read " + strPath + ": " + std::strerror(nError));
        return false;
    }
    movies.bExists = true;
    if (!movies.dom.LoadXml(CMyString(movies.strText.c_str())) || movies.dom.GetRoot() == nullptr)
    {
        Fail(strPath + " is not a plain list (it does not parse)");
        return false;
    }
    const CXmlNode* pMovies = movies.dom.GetRoot()->FindChild("MOVIES");
    for (int32_t nChild = 0; pMovies != nullptr && nChild < pMovies->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pMovies->GetChild(nChild);
        if (!IsNamed(pEntry, "CATEGORY"))
            continue;
        const std::string strFile = Text(pEntry->GetChildValue("FILE_NAME"));
        if (movies.pCategory == nullptr && pEntry->FindChild("NAME") != nullptr &&
            Text(pEntry->GetChildValue("NAME")) == strCategory)
        {
            movies.pCategory = pEntry;
            movies.strCategoryFile = strFile;
        }
        else if (!strFile.empty())
            movies.otherFiles.push_back(strFile);
    }
    return true;
}

void AppendCategory(std::string& strOut, const std::string& strCategory,
                    const std::string& strFileName, const CXmlNode* pOld)
{
    strOut += "\t\t<CATEGORY>\n";
    AppendXmlLeaf(strOut, "NAME", strCategory, 3);
    for (int32_t nChild = 0; pOld != nullptr && nChild < pOld->GetChildCount(); ++nChild)
    {
        const CXmlNode* pChild = pOld->GetChild(nChild);
        if (!IsNamed(pChild, "NAME") && !IsNamed(pChild, "FILE_NAME"))
            AppendXmlElement(strOut, *pChild, 3);
    }
    AppendXmlLeaf(strOut, "FILE_NAME", strFileName, 3);
    strOut += "\t\t</CATEGORY>\n";
}

// The movies settings with the category naming the file and the new version; the rest as read.
std::string BuildMoviesSettings(const SMoviesSettings& movies, const std::string& strCategory,
                                const std::string& strFileName, const std::string& strVersion)
{
    std::string strOut;
    const CXmlNode* pRoot = movies.bExists ? movies.dom.GetRoot() : nullptr;
    const std::string strRoot = pRoot != nullptr ? Text(pRoot->GetName()) : "MOVIES_SETTINGS";
    strOut += "<" + strRoot + ">\n";
    if (pRoot == nullptr || pRoot->FindChild("VERSION") == nullptr)
        AppendXmlLeaf(strOut, "VERSION", strVersion, 1);
    // The program reads the last MOVIES of the root.
    const CXmlNode* pMovies = pRoot != nullptr ? pRoot->FindChild("MOVIES") : nullptr;
    for (int32_t nChild = 0; pRoot != nullptr && nChild < pRoot->GetChildCount(); ++nChild)
    {
        const CXmlNode* pChild = pRoot->GetChild(nChild);
        if (IsNamed(pChild, "VERSION"))
        {
            AppendXmlLeaf(strOut, Text(pChild->GetName()), strVersion, 1);
            continue;
        }
        if (pChild != pMovies)
        {
            AppendXmlElement(strOut, *pChild, 1);
            continue;
        }
        strOut += "\t<" + Text(pMovies->GetName()) + ">\n";
        for (int32_t nEntry = 0; nEntry < pMovies->GetChildCount(); ++nEntry)
        {
            const CXmlNode* pEntry = pMovies->GetChild(nEntry);
            if (pEntry == movies.pCategory)
                AppendCategory(strOut, strCategory, strFileName, pEntry);
            else
                AppendXmlElement(strOut, *pEntry, 2);
        }
        if (movies.pCategory == nullptr)
            AppendCategory(strOut, strCategory, strFileName, nullptr);
        strOut += "\t</" + Text(pMovies->GetName()) + ">\n";
    }
    if (pMovies == nullptr)
    {
        strOut += "\t<MOVIES>\n";
        AppendCategory(strOut, strCategory, strFileName, nullptr);
        strOut += "\t</MOVIES>\n";
    }
    strOut += "</" + strRoot + ">\n";
    return strOut;
}

// The VERSION of a plain list file that an import wrote before; empty when it cannot be read or
// has none. Only the text up to the first menu is read: a large category file need not be
// parsed whole for the element that heads it.
std::string VersionOfFile(const std::string& strPath)
{
    std::string strBytes;
    int nError = 0;
    if (!ReadBytes(strPath.c_str(), strBytes, nError))
        return std::string();
    std::string strHead = strBytes.substr(0, strBytes.find("<MENU>"));
    for (char& c : strHead)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    const size_t uStart = strHead.find("<VERSION>");
    const size_t uEnd = strHead.find("</VERSION>");
    if (uStart == std::string::npos || uEnd == std::string::npos || uEnd < uStart)
        return std::string();
    CMyString strVersion(strBytes.substr(uStart + 9, uEnd - uStart - 9).c_str());
    strVersion.DecodeXmlEntities();
    return Text(strVersion);
}

bool Contains(const std::vector<std::string>& names, const std::string& strName)
{
    for (const std::string& strKnown : names)
        if (strKnown == strName)
            return true;
    return false;
}

} // namespace

int RunImportM3u(const char* pszPlaylist, const char* pszSourceFolder, const char* pszCategory,
                 const char* pszFileName)
{
    // The name as the list will hold it: no control characters, no white space at the ends.
    std::string strCategory;
    for (const char* psz = pszCategory; *psz != 0; ++psz)
        if (static_cast<unsigned char>(*psz) >= 0x20 && *psz != 0x7F)
            strCategory += *psz;
    strCategory.erase(0, strCategory.find_first_not_of(' '));
    strCategory.erase(strCategory.find_last_not_of(' ') + 1);
    if (strCategory.empty())
        return Fail("the category needs a name", 2);
    std::string strPlaylist;
    int nError = 0;
    if (!ReadBytes(pszPlaylist, strPlaylist, nError))
        return Fail(std::string("cannot read ") + pszPlaylist + ": " + std::strerror(nError));

    const std::string strFolder = pszSourceFolder;
    const std::string strMoviesPath = JoinPath(strFolder, MOVIES_SETTINGS_FILE);
    SMoviesSettings movies;
    if (!ReadMoviesSettings(strMoviesPath, strCategory, movies))
        return 1;

    // The category file: as asked, else the one the category names, else one of its own.
    std::string strFileName;
    if (pszFileName != nullptr)
    {
        strFileName = pszFileName;
        if (!CStationDirectory::IsPlainFileName(CMyString(strFileName.c_str())) ||
            IsReservedListName(strFileName))
            return Fail("\"" + strFileName + "\" cannot be a category file: a plain file name " +
                            "other than the settings lists is needed",
                        2);
        if (Contains(movies.otherFiles, strFileName))
            return Fail("another category already uses " + strFileName, 2);
    }
    else if (CStationDirectory::IsPlainFileName(CMyString(movies.strCategoryFile.c_str())) &&
             !IsReservedListName(movies.strCategoryFile) &&
             !Contains(movies.otherFiles, movies.strCategoryFile))
        strFileName = movies.strCategoryFile;
    else
    {
        const std::string strBase = FileNameOf(strCategory);
        strFileName = strBase;
        for (int nSuffix = 2;
             IsReservedListName(strFileName) || Contains(movies.otherFiles, strFileName); ++nSuffix)
            strFileName = strBase.substr(0, strBase.size() - 4) + std::to_string(nSuffix) + ".txt";
    }

    CM3uPlaylist playlist;
    playlist.Parse(strPlaylist);

    if (!CFileHandler().CreateFolderPath(CMyString(strFolder.c_str())))
        return Fail("cannot create " + strFolder);
    const std::string strCategoryPath = JoinPath(strFolder, strFileName);
    const std::string strOldVersion = VersionOfFile(strCategoryPath);
    const std::string strVersion = strOldVersion.empty() ? "1.0" : NextVersion(strOldVersion);
    if (!WriteWholeFile(strCategoryPath, playlist.BuildCategoryFile(strCategory, strVersion)))
        return Fail("cannot write " + strCategoryPath + ": " + std::strerror(errno));
    std::printf("wrote %s: %u stations in %zu menus, VERSION %s\n", strCategoryPath.c_str(),
                playlist.GetStationCount(), playlist.GetGroups().size(), strVersion.c_str());

    if (movies.pCategory != nullptr && movies.strCategoryFile == strFileName)
        std::printf("%s names %s for \"%s\" already: unchanged\n", strMoviesPath.c_str(),
                    strFileName.c_str(), strCategory.c_str());
    else
    {
        const std::string strOld =
            movies.bExists ? Text(movies.dom.GetRoot()->GetChildValue("VERSION")) : "";
        const std::string strMoviesVersion = strOld.empty() ? "1.0" : NextVersion(strOld);
        if (!WriteWholeFile(strMoviesPath, BuildMoviesSettings(movies, strCategory, strFileName,
                                                               strMoviesVersion)))
            return Fail("cannot write " + strMoviesPath + ": " + std::strerror(errno));
        std::printf("%s %s: category \"%s\" in %s, VERSION %s\n",
                    movies.bExists ? "updated" : "wrote", strMoviesPath.c_str(),
                    strCategory.c_str(), strFileName.c_str(), strMoviesVersion.c_str());
    }

    const CM3uPlaylist::SSkipped& skipped = playlist.GetSkipped();
    std::printf("skipped %u: %u comments, %u unknown directives or options, %u entries without "
                "address, %u addresses not on the network, %u duplicates\n",
                playlist.GetSkippedCount(), skipped.uComments, skipped.uUnknownDirectives,
                skipped.uWithoutAddress, skipped.uNotNetwork, skipped.uDuplicates);
    if (playlist.GetAmpersandCount() > 0)
        std::printf("%u addresses with \"&\" end in one more \"&\", so the player keeps them "
                    "whole\n",
                    playlist.GetAmpersandCount());
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write to standard output");
}
