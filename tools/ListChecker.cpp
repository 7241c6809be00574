#include "ListChecker.h"
#include "ReadBytes.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "directory/StationDirectory.h"
#include "directory/StreamUrl.h"
#include "net/UpdateCheck.h"
#include "net/Version.h"
#include "shell/SearchEngines.h"
#include "text/MyXmlDom.h"

#include <cstdio>
#include <map>

namespace
{

std::string Text(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

bool IsNamed(const CXmlNode* pNode, const char* pszName)
{
    return pNode->GetName().IsEqualNoCase(CMyString(pszName));
}

std::string Quoted(const std::string& strText)
{
    return "\"" + strText + "\"";
}

// The line of every start tag in document order, as the reader meets them: a tag starts at
// each "<" outside a tag and ends at the next ">".
std::vector<uint32_t> StartTagLines(const std::string& strText)
{
    std::vector<uint32_t> lines;
    uint32_t uLine = 1;
    bool bInTag = false;
    for (size_t i = 0; i < strText.size(); ++i)
    {
        const char c = strText[i];
        if (c == '\n')
            ++uLine;
        else if (!bInTag && c == '<')
        {
            bInTag = true;
            if (i + 1 < strText.size() && strText[i + 1] != '/')
                lines.push_back(uLine);
        }
        else if (bInTag && c == '>')
            bInTag = false;
    }
    return lines;
}

// Gives each element its line: the elements in document order, parents before their children,
// are the start tags in the order of the text.
void MapLines(const CXmlNode* pNode, const std::vector<uint32_t>& lines, size_t& uNext,
              std::unordered_map<const CXmlNode*, uint32_t>& map)
{
    map[pNode] = uNext < lines.size() ? lines[uNext] : 0;
    ++uNext;
    for (int32_t nChild = 0; nChild < pNode->GetChildCount(); ++nChild)
        MapLines(pNode->GetChild(nChild), lines, uNext, map);
}

} // namespace

struct CListChecker::SList
{
    std::string strFile;
    bool bScrambled = false;
    CMyXmlDom dom;
    std::unordered_map<const CXmlNode*, uint32_t> lines;
};

CListChecker::CListChecker(std::string strFolder) : m_strFolder(std::move(strFolder)) {}

CListChecker::~CListChecker() = default;

void CListChecker::Note(const std::string& strFile, uint32_t uLine, const std::string& strMessage)
{
    m_findings.push_back({strFile, uLine, strMessage});
}

void CListChecker::Note(const SList& list, const CXmlNode* pNode, const std::string& strMessage)
{
    const auto found = list.lines.find(pNode);
    Note(list.strFile, found != list.lines.end() ? found->second : 0, strMessage);
}

CListChecker::SList* CListChecker::Load(const std::string& strFile, bool bRequired)
{
    const auto known = m_lists.find(strFile);
    if (known != m_lists.end())
        return known->second.get();

    CMyString strPath(m_strFolder.c_str());
    strPath.AppendPath(CMyString(strFile.c_str()));
    std::string strBytes;
    int nError = 0;
    if (!ReadBytes(strPath.GetBuffer(), strBytes, nError))
    {
        if (bRequired)
            Note(strFile, 0, "is missing or cannot be read");
        return nullptr;
    }
    auto pList = std::make_unique<SList>();
    pList->strFile = strFile;
    // Plain text first; a scrambled file never parses as it is.
    std::string strText = strBytes;
    if (strBytes.find('\0') != std::string::npos ||
        !pList->dom.LoadXml(CMyString(strBytes.c_str())) || pList->dom.GetRoot() == nullptr)
    {
        CMyString strPlain;
        if (!CFileHandler().ReadScrambledFile(strPath, strPlain) || !pList->dom.LoadXml(strPlain) ||
            pList->dom.GetRoot() == nullptr)
        {
            Note(strFile, 0, "does not load: it parses neither as plain text nor scrambled");
            return nullptr;
        }
        pList->bScrambled = true;
        strText = Text(strPlain);
    }
    size_t uNext = 0;
    MapLines(pList->dom.GetRoot(), StartTagLines(strText), uNext, pList->lines);
    if (pList->bScrambled != m_bScrambledFolder)
        Note(strFile, 0,
             m_bScrambledFolder
                 ? "is plain text beside scrambled lists: the program cannot read it"
                 : "is scrambled beside plain list sources: publish would scramble it twice");
    SList* pLoaded = pList.get();
    m_lists[strFile] = std::move(pList);
    return pLoaded;
}

void CListChecker::CheckVersion(const SList& list)
{
    const CXmlNode* pVersion = list.dom.GetRoot()->FindChild("VERSION");
    if (pVersion == nullptr)
    {
        Note(list, list.dom.GetRoot(),
             "has no VERSION: publish refuses it and installed copies never know it is current");
        return;
    }
    if (!CVersion(pVersion->GetValue()).IsValid())
        Note(list, pVersion,
             "VERSION " + Quoted(Text(pVersion->GetValue())) +
                 " is not a dotted version: it counts as older than every version");
}

void CListChecker::Check()
{
    // The movies settings file sets the form the folder's lists are in.
    CMyString strPath(m_strFolder.c_str());
    strPath.AppendPath(CMyString(MOVIES_SETTINGS_FILE));
    std::string strBytes;
    int nError = 0;
    CMyXmlDom probe;
    m_bScrambledFolder =
        ReadBytes(strPath.GetBuffer(), strBytes, nError) &&
        (strBytes.find('\0') != std::string::npos || !probe.LoadXml(CMyString(strBytes.c_str())));
    CheckMoviesSettings();
    CheckServerSettings();
    CheckSearchSettings();
    CheckUpdateSettings();
}

void CListChecker::CheckMoviesSettings()
{
    const SList* pMovies = Load(MOVIES_SETTINGS_FILE, true);
    if (pMovies == nullptr)
        return;
    CheckVersion(*pMovies);
    const CXmlNode* pRoot = pMovies->dom.GetRoot();
    const CXmlNode* pEntries = pRoot->FindChild("MOVIES");
    if (pEntries == nullptr)
    {
        Note(*pMovies, pRoot, "has no MOVIES: the station tree stays empty");
        return;
    }
    for (int32_t nChild = 0; nChild < pEntries->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pEntries->GetChild(nChild);
        if (!IsNamed(pEntry, "CATEGORY"))
            continue;
        if (pEntry->FindChild("NAME") == nullptr)
        {
            Note(*pMovies, pEntry, "a CATEGORY without NAME is skipped whole");
            continue;
        }
        const std::string strName = Text(pEntry->GetChildValue("NAME"));
        const CXmlNode* pFileName = pEntry->FindChild("FILE_NAME");
        if (pFileName == nullptr)
        {
            Note(*pMovies, pEntry,
                 "category " + Quoted(strName) + " has no FILE_NAME: it stays empty");
            continue;
        }
        const std::string strFile = Text(pFileName->GetValue());
        if (!CStationDirectory::IsPlainFileName(pFileName->GetValue()))
        {
            Note(*pMovies, pFileName,
                 "category " + Quoted(strName) + ": FILE_NAME " + Quoted(strFile) +
                     " is not a plain file name of the folder: the program refuses it");
            continue;
        }
        m_categoryFiles.push_back(strFile);
        CheckCategoryFile(strName, strFile, *pMovies, pFileName);
    }
}

void CListChecker::CheckCategoryFile(const std::string& strCategory, const std::string& strFile,
                                     const SList& movies, const CXmlNode* pFileName)
{
    const bool bChecked = m_lists.count(strFile) != 0;
    const SList* pList = Load(strFile, false);
    if (pList == nullptr)
    {
        Note(movies, pFileName,
             "category " + Quoted(strCategory) + ": its file " + Quoted(strFile) +
                 " does not load (missing or not a list): the category stays empty");
        return;
    }
    if (bChecked)
        return; // two categories share the file; its findings were noted once
    CheckVersion(*pList);
    const CXmlNode* pMenu = pList->dom.GetRoot()->FindChild("MENU");
    if (pMenu == nullptr)
    {
        Note(*pList, pList->dom.GetRoot(), "has no MENU: its category stays empty");
        return;
    }
    CheckMenu(*pList, pMenu, Text(pMenu->GetChildValue("CAPTION")));
}

void CListChecker::CheckMenu(const SList& list, const CXmlNode* pMenu, const std::string& strMenu)
{
    // The first line of each caption in this menu.
    std::map<std::string, uint32_t> captions;
    for (int32_t nChild = 0; nChild < pMenu->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pMenu->GetChild(nChild);
        const bool bStation = IsNamed(pEntry, "MENU_ITEM");
        if (!bStation && !IsNamed(pEntry, "MENU"))
            continue;
        const std::string strCaption = Text(pEntry->GetChildValue("CAPTION"));
        if (strCaption.empty())
        {
            Note(list, pEntry,
                 bStation ? "a station without CAPTION in menu " + Quoted(strMenu) + " is skipped"
                          : "a menu without CAPTION in menu " + Quoted(strMenu) +
                                " is skipped with everything in it");
            continue;
        }
        const uint32_t uLine = list.lines.count(pEntry) != 0 ? list.lines.at(pEntry) : 0;
        const auto [first, bNew] = captions.try_emplace(strCaption, uLine);
        if (!bNew)
            Note(list, pEntry,
                 "caption " + Quoted(strCaption) + " appears twice in menu " + Quoted(strMenu) +
                     " (first on line " + std::to_string(first->second) + ")");
        if (bStation)
            CheckStation(list, pEntry, strCaption);
        else
            CheckMenu(list, pEntry, strCaption);
    }
}

void CListChecker::CheckStation(const SList& list, const CXmlNode* pStation,
                                const std::string& strCaption)
{
    const std::string strUrl = Text(pStation->GetChildValue("URL"));
    const std::string strStation = "station " + Quoted(strCaption);
    if (strUrl.empty())
    {
        Note(list, pStation, strStation + " has no URL: it shows but never plays");
        return;
    }
    const CXmlNode* pUrl = pStation->FindChild("URL");
    if (!IsNetworkStreamUrl(std::string_view(strUrl)))
    {
        Note(list, pUrl,
             strStation + ": " + Quoted(strUrl) + " is not a network address the player opens");
        return;
    }
    const size_t uAmpersand = strUrl.rfind('&');
    if (uAmpersand != std::string::npos && uAmpersand + 1 < strUrl.size())
        Note(list, pUrl,
             strStation + ": the player drops " + Quoted(strUrl.substr(uAmpersand)) +
                 " from its address (end the address with \"&\" to keep it whole)");
}

void CListChecker::CheckServerSettings()
{
    const SList* pList = Load(SERVER_SETTINGS_FILE, true);
    if (pList == nullptr)
        return;
    CheckVersion(*pList);
    bool bServer = false;
    const CXmlNode* pRoot = pList->dom.GetRoot();
    for (int32_t nChild = 0; nChild < pRoot->GetChildCount(); ++nChild)
        bServer = bServer || (IsNamed(pRoot->GetChild(nChild), "URL") &&
                              !pRoot->GetChild(nChild)->GetValue().IsEmpty());
    if (!bServer)
        Note(*pList, pRoot, "names no server URL: the program finds no server");
}

void CListChecker::CheckSearchSettings()
{
    const SList* pList = Load(SEARCH_SETTINGS_FILE, true);
    if (pList == nullptr)
        return;
    CheckVersion(*pList);
    const CXmlNode* pEngines = pList->dom.GetRoot()->FindChild("LIST_OF_SEARCH_ENGINES");
    if (pEngines == nullptr)
    {
        Note(*pList, pList->dom.GetRoot(),
             "has no LIST_OF_SEARCH_ENGINES: the engine menu stays empty");
        return;
    }
    for (int32_t nChild = 0; nChild < pEngines->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEngine = pEngines->GetChild(nChild);
        if (!IsNamed(pEngine, "SEARCH_ENGINE"))
            continue;
        const std::string strCaption = Text(pEngine->GetChildValue("CAPTION"));
        if (pEngine->GetChildCount() == 0)
            Note(*pList, pEngine, "an empty SEARCH_ENGINE is skipped");
        else if (pEngine->GetChildValue("PREFIX").IsEmpty())
            Note(*pList, pEngine,
                 "engine " + Quoted(strCaption) + " has no PREFIX: its searches open nothing");
    }
}

void CListChecker::CheckUpdateSettings()
{
    // Only a folder made for a server has one, and it is plain text there.
    CMyString strPath(m_strFolder.c_str());
    strPath.AppendPath(CMyString(UPDATE_SETTINGS_FILE));
    std::string strBytes;
    int nError = 0;
    if (!ReadBytes(strPath.GetBuffer(), strBytes, nError))
        return;
    SList update;
    update.strFile = UPDATE_SETTINGS_FILE;
    if (!update.dom.LoadXml(CMyString(strBytes.c_str())) || update.dom.GetRoot() == nullptr)
    {
        Note(update.strFile, 0, "does not parse: the program sees no lists on this server");
        return;
    }
    size_t uNext = 0;
    MapLines(update.dom.GetRoot(), StartTagLines(strBytes), uNext, update.lines);

    std::vector<std::string> named;
    const CXmlNode* pRoot = update.dom.GetRoot();
    for (int32_t nChild = 0; nChild < pRoot->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pRoot->GetChild(nChild);
        const CXmlNode* pVersion = pEntry->FindChild("VERSION");
        if (pVersion == nullptr)
            continue;
        const CVersion version(pVersion->GetValue());
        if (!version.IsValid())
            Note(update, pVersion,
                 "VERSION " + Quoted(Text(pVersion->GetValue())) +
                     " is not a dotted version: it counts as older than every version");
        if (IsNamed(pEntry, "EXE_UPDATE"))
            continue;
        const std::string strName = Text(pEntry->GetChildValue("NAME"));
        if (!CUpdateCheck::IsSafeListName(pEntry->GetChildValue("NAME")))
        {
            Note(update, pEntry,
                 "entry " + Text(pEntry->GetName()) + ": NAME " + Quoted(strName) +
                     " is not a plain file name: the program never fetches it");
            continue;
        }
        named.push_back(strName);
        const SList* pList = Load(strName, false);
        if (pList == nullptr)
        {
            Note(update, pEntry, "names " + strName + ", which is missing or does not load");
            continue;
        }
        const CXmlNode* pOwn = pList->dom.GetRoot()->FindChild("VERSION");
        const std::string strOwn = pOwn != nullptr ? Text(pOwn->GetValue()) : std::string();
        if (strOwn != Text(pVersion->GetValue()) &&
            !(version.IsValid() && version == CVersion(CMyString(strOwn.c_str()))))
            Note(update, pVersion,
                 "names " + strName + " with VERSION " + Quoted(Text(pVersion->GetValue())) +
                     " but the file says " + Quoted(strOwn) +
                     ": installed copies fetch it again and again, or never");
    }

    std::vector<std::string> lists = {SERVER_SETTINGS_FILE, MOVIES_SETTINGS_FILE,
                                      SEARCH_SETTINGS_FILE};
    lists.insert(lists.end(), m_categoryFiles.begin(), m_categoryFiles.end());
    for (const std::string& strList : lists)
    {
        bool bNamed = false;
        for (const std::string& strName : named)
            bNamed = bNamed || strName == strList;
        if (!bNamed && m_lists.count(strList) != 0)
            Note(update.strFile, 0,
                 "does not name " + strList + ": installed copies never fetch it");
    }
}

int RunCheck(const char* pszFolder)
{
    CListChecker checker(pszFolder);
    checker.Check();
    for (const SListFinding& finding : checker.GetFindings())
    {
        if (finding.uLine > 0)
            std::printf("%s:%u: %s\n", finding.strFile.c_str(), finding.uLine,
                        finding.strMessage.c_str());
        else
            std::printf("%s: %s\n", finding.strFile.c_str(), finding.strMessage.c_str());
    }
    const size_t uCount = checker.GetFindings().size();
    if (uCount == 0)
        std::printf("no findings\n");
    else
        std::printf("%zu finding%s\n", uCount, uCount == 1 ? "" : "s");
    std::fflush(stdout);
    return uCount == 0 ? 0 : 1;
}
