#include "DirectoryCommands.h"
#include "ReadBytes.h"
#include "XmlText.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "directory/StationDirectory.h"
#include "text/MyXmlDom.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace
{

const char* const SEARCH_SETTINGS_FILE = "SearchSettings.txt";

int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "orvanta-lists: %s\n", strMessage.c_str());
    return 1;
}

std::string Text(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : str.GetBuffer();
}

// A field of a tab-separated line, appended: tabs and line breaks would break the columns.
void AppendField(std::string& strLine, const CMyString& str)
{
    const size_t uStart = strLine.size();
    strLine.append(str.IsEmpty() ? "" : str.GetBuffer(), str.GetLength());
    for (size_t i = uStart; i < strLine.size(); ++i)
        if (strLine[i] == '\t' || strLine[i] == '\n' || strLine[i] == '\r')
            strLine[i] = ' ';
}

template <typename Number> void AppendNumber(std::string& strLine, Number number)
{
    char szDigits[24];
    const auto result = std::to_chars(szDigits, szDigits + sizeof szDigits, number);
    strLine.append(szDigits, result.ptr);
}

std::string JoinPath(const char* pszFolder, const char* pszName)
{
    CMyString strPath(pszFolder);
    strPath.AppendPath(CMyString(pszName));
    return Text(strPath);
}

// One plain source list: its bytes, and its version once checked.
struct SSource
{
    std::string strName;
    const char* pszEntry;
    std::string bytes;
    std::string strVersion;
};

// Reads a plain list of the source folder and checks that it parses and has a VERSION.
bool ReadSource(const char* pszSourceFolder, SSource& source, CMyXmlDom& dom)
{
    const std::string strPath = JoinPath(pszSourceFolder, source.strName.c_str());
    int nError = 0;
    if (!ReadBytes(strPath.c_str(), source.bytes, nError))
    {
        Fail("cannot read " + strPath + ": " + std::strerror(errno));
        return false;
    }
    if (!dom.LoadXml(CMyString(source.bytes.c_str())) || dom.GetRoot() == nullptr)
    {
        Fail(strPath + " is not a list (it does not parse)");
        return false;
    }
    const CXmlNode* pVersion = dom.GetRoot()->FindChild("VERSION");
    if (pVersion == nullptr || pVersion->GetValue().IsEmpty())
    {
        Fail(strPath + " has no VERSION");
        return false;
    }
    source.strVersion = Text(pVersion->GetValue());
    return true;
}

} // namespace

int RunShow(const char* pszResFolder)
{
    CMemoryStationTree tree;
    CStationDirectory directory(tree);
    directory.SetRecordVersions(false);
    directory.SetFetchIcons(false);
    if (!directory.LoadMoviesSettings(CMyString(pszResFolder)))
        return Fail("cannot read " + JoinPath(pszResFolder, MOVIES_SETTINGS_FILE));

    // A large directory prints hundreds of thousands of lines: they are gathered and written in
    // large pieces.
    std::string strOut;
    strOut.reserve(size_t{1} << 17);
    bool bWritten = true;
    for (uint32_t uIndex = 0; uIndex < directory.GetCount(); ++uIndex)
    {
        const CStationItem* pItem = directory.GetItem(uIndex);
        const CMemoryStationTree::SNode* pNode = tree.GetNode(pItem->m_hItem);
        const CMemoryStationTree::SNode* pParent = tree.GetNode(pNode->hParent);
        AppendNumber(strOut, uIndex);
        strOut += '\t';
        if (pParent != nullptr)
            AppendNumber(strOut, pParent->uItemData);
        else
            strOut += "-1";
        strOut += '\t';
        AppendNumber(strOut, pItem->m_nType);
        strOut += '\t';
        AppendField(strOut, pNode->strText);
        strOut += '\t';
        AppendField(strOut, pItem->m_strPath);
        strOut += '\t';
        AppendField(strOut, pItem->m_strUrl);
        // Request headers only where a station has them, so lines of other lists stay as they
        // were.
        if (!pItem->m_strUserAgent.IsEmpty() || !pItem->m_strReferrer.IsEmpty())
        {
            strOut += '\t';
            AppendField(strOut, pItem->m_strUserAgent);
            strOut += '\t';
            AppendField(strOut, pItem->m_strReferrer);
        }
        strOut += '\n';
        if (strOut.size() >= (size_t{1} << 16))
        {
            bWritten =
                bWritten && std::fwrite(strOut.data(), 1, strOut.size(), stdout) == strOut.size();
            strOut.clear();
        }
    }
    bWritten = bWritten && std::fwrite(strOut.data(), 1, strOut.size(), stdout) == strOut.size();
    if (!bWritten || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        return Fail("cannot write to standard output");
    return 0;
}

int RunPublish(const char* pszSourceFolder, const char* pszOutFolder, const char* pszExeVersion,
               const char* pszExeUrl)
{
    std::vector<SSource> sources = {{SERVER_SETTINGS_FILE, "SERVERS", {}, {}},
                                    {MOVIES_SETTINGS_FILE, "MOVIES_SETTINGS", {}, {}},
                                    {SEARCH_SETTINGS_FILE, "SEARCH_SETTINGS", {}, {}}};
    std::vector<std::string> categoryFiles;
    for (SSource& source : sources)
    {
        CMyXmlDom dom;
        if (!ReadSource(pszSourceFolder, source, dom))
            return 1;
        if (source.strName != MOVIES_SETTINGS_FILE)
            continue;
        // The category files the program would read: those of categories with a NAME.
        const CXmlNode* pMovies = dom.GetRoot()->FindChild("MOVIES");
        for (int32_t nChild = 0; pMovies != nullptr && nChild < pMovies->GetChildCount(); ++nChild)
        {
            const CXmlNode* pEntry = pMovies->GetChild(nChild);
            if (!pEntry->GetName().IsEqualNoCase(CMyString("CATEGORY")) ||
                pEntry->FindChild("NAME") == nullptr || pEntry->FindChild("FILE_NAME") == nullptr)
                continue;
            const CMyString strFileName = pEntry->GetChildValue("FILE_NAME");
            if (!CStationDirectory::IsPlainFileName(strFileName))
                return Fail("category file name \"" + Text(strFileName) +
                            "\" is not a plain file name");
            bool bKnown = false;
            for (const std::string& strKnown : categoryFiles)
                bKnown = bKnown || strKnown == Text(strFileName);
            if (!bKnown)
                categoryFiles.push_back(Text(strFileName));
        }
    }
    for (const std::string& strFileName : categoryFiles)
    {
        SSource source{strFileName, "CATEGORY", {}, {}};
        CMyXmlDom dom;
        if (!ReadSource(pszSourceFolder, source, dom))
            return 1;
        sources.push_back(std::move(source));
    }

    struct stat info = {};
    const bool bOutExists = ::stat(pszOutFolder, &info) == 0 && S_ISDIR(info.st_mode);
    if (!bOutExists && !CFileHandler().CreateFolderPath(CMyString(pszOutFolder)))
        return Fail(std::string("cannot create ") + pszOutFolder);

    std::string strUpdate = "<UPDATE_SETTINGS>\n";
    for (const SSource& source : sources)
    {
        const std::string strPath = JoinPath(pszOutFolder, source.strName.c_str());
        if (!WriteWholeFile(strPath, CFileHandler::Scramble(source.bytes)))
            return Fail("cannot write " + strPath + ": " + std::strerror(errno));
        strUpdate += std::string("\t<") + source.pszEntry + ">\n\t\t<VERSION>" +
                     EscapeXml(source.strVersion) + "</VERSION>\n\t\t<NAME>" +
                     EscapeXml(source.strName) + "</NAME>\n\t</" + source.pszEntry + ">\n";
    }
    if (pszExeVersion != nullptr && pszExeUrl != nullptr)
        strUpdate += std::string("\t<EXE_UPDATE>\n\t\t<VERSION>") + EscapeXml(pszExeVersion) +
                     "</VERSION>\n\t\t<NAME>" + EscapeXml(pszExeUrl) + "</NAME>\n\t</EXE_UPDATE>\n";
    strUpdate += "</UPDATE_SETTINGS>\n";
    const std::string strPath = JoinPath(pszOutFolder, UPDATE_SETTINGS_FILE);
    if (!WriteWholeFile(strPath, strUpdate))
        return Fail("cannot write " + strPath + ": " + std::strerror(errno));
    return 0;
}
