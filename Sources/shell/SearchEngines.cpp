#include "shell/SearchEngines.h"

#include "config/FileHandler.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "platform/TemporaryFile.h"
#include "text/CodePages.h"
#include "text/MyXmlDom.h"

#include <string>
#include <string_view>

namespace
{

bool HasName(const CXmlNode* pNode, const char* pszName)
{
    const CMyString strName = pNode->GetName();
    return !strName.IsEmpty() && IsEqualNoCaseAscii(strName.GetBuffer(), pszName);
}

bool IsListEntry(const CXmlNode* pNode)
{
    return pNode != nullptr && (HasName(pNode, "SEARCH_ENGINE") || HasName(pNode, "SEPARATOR"));
}

// Stores exactly the downloaded bytes at the path, replacing the file whole.
bool WriteIconFile(const CMyString& strPath, const CMyBuffer& buffer)
{
    CTemporaryFile file(strPath);
    if (!file.IsOpen())
        return false;
    if (!WriteAllBytes(file.GetDescriptor(), buffer.GetData(), buffer.GetUsed()))
        return false;
    return file.Commit(true);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CSearchEngine

bool CSearchEngine::LoadEngine(const CXmlNode* pNode, EEngineLoad load)
{
    m_nId = 0;
    if (pNode == nullptr)
        return false;
    if (HasName(pNode, "SEPARATOR"))
    {
        m_bSeparator = 1;
        return true;
    }
    m_bSeparator = 0;
    const int32_t nChildren = pNode->GetChildCount();
    if (nChildren <= 0)
        return false;
    for (int32_t i = 0; i < nChildren; ++i)
    {
        const CXmlNode* pChild = pNode->GetChild(i);
        if (pChild == nullptr)
            continue;
        if (HasName(pChild, "PREFIX"))
            m_strPrefix = pChild->GetValue();
        else if (HasName(pChild, "SEARCH_TERM_TO_REPLACE"))
            m_strTermToReplace = pChild->GetValue();
        else if (HasName(pChild, "INPUT_CHARSET"))
            m_strInputCharset = pChild->GetValue();
        else if (HasName(pChild, "CAPTION"))
            m_strCaption = pChild->GetValue();
        else if (HasName(pChild, "EMPTY_SEARCH_URL"))
            m_strEmptySearchUrl = pChild->GetValue();
        else if (HasName(pChild, "IMAGE_URL"))
        {
            m_strImagePath = pChild->GetValue();
            if (load == EEngineLoad::Program)
                FetchIcon(pChild->GetValue());
        }
    }
    return true;
}

void CSearchEngine::FetchIcon(const CMyString& strUrl)
{
    if (strUrl.IsEmpty())
    {
        m_strImagePath.Empty();
        return;
    }
    const CMyString strPath = Settings().GetIconFilePath(strUrl);
    if (CFileHandler().FileExists(strPath))
    {
        m_strImagePath = strPath;
        return;
    }
    // Runs on the caller's thread: start-up waits for each icon once, later starts find it in
    // the res folder.
    CMyDownload download;
    download.SetReload(true);
    download.SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    if (download.DownloadToBuffer(strUrl) && WriteIconFile(strPath, download.GetBuffer()))
        m_strImagePath = strPath;
    else
        m_strImagePath.Empty();
}

CMyString CSearchEngine::EncodeSearchText(const CMyString& strText) const
{
    if (strText.IsEmpty())
        return CMyString();
    if (!m_strInputCharset.IsEmpty())
    {
        std::string converted;
        const std::string_view text(strText.GetBuffer(), strText.GetLength());
        // A set whose bytes include NUL (UTF-16 and the like) cannot travel in a query string.
        if (ConvertCharset(text, "UTF-8", m_strInputCharset.GetBuffer(), converted) &&
            !converted.empty() && converted.find('\0') == std::string::npos)
            return CMyString(converted.c_str(), static_cast<uint32_t>(converted.size()))
                .UrlEncode();
    }
    return strText.UrlEncode();
}

CMyString CSearchEngine::BuildQuery(const CMyString& strText) const
{
    if (strText.IsEmpty())
        return m_strEmptySearchUrl;
    const CMyString strEncoded = EncodeSearchText(strText);
    if (m_strPrefix.IsEmpty())
        return strEncoded;
    CMyString strAddress(m_strPrefix);
    if (!m_strTermToReplace.IsEmpty())
        strAddress.Replace(m_strTermToReplace.GetBuffer(),
                           strEncoded.IsEmpty() ? "" : strEncoded.GetBuffer());
    return strAddress;
}

// ---------------------------------------------------------------------------------------------
// CSearchEngines

bool CSearchEngines::LoadEngines(const CXmlNode* pList, EEngineLoad load)
{
    if (pList == nullptr)
        return false;
    const int32_t nChildren = pList->GetChildCount();
    int32_t nEntries = 0;
    for (int32_t i = 0; i < nChildren; ++i)
    {
        if (IsListEntry(pList->GetChild(i)))
            ++nEntries;
    }
    if (nEntries == 0)
        return false;

    m_pEngines = std::make_unique<CSearchEngine[]>(static_cast<size_t>(nEntries));
    m_nCount = 0;
    for (int32_t i = 0; i < nChildren; ++i)
    {
        const CXmlNode* pChild = pList->GetChild(i);
        if (!IsListEntry(pChild))
            continue;
        CSearchEngine& engine = m_pEngines[static_cast<size_t>(m_nCount)];
        if (engine.LoadEngine(pChild, load))
            engine.m_nId = ++m_nCount;
    }
    if (m_nCount == 0)
    {
        m_pEngines.reset();
        return false;
    }
    return true;
}

CSearchEngine* CSearchEngines::GetEngine(int32_t nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return nullptr;
    return &m_pEngines[static_cast<size_t>(nIndex)];
}

// ---------------------------------------------------------------------------------------------

bool LoadSearchSettings(const CMyString& strResFolder, CSearchEngines& engines, EEngineLoad load)
{
    CMyString strPath(strResFolder);
    strPath.AppendPath(SEARCH_SETTINGS_FILE);
    CMyString strText;
    if (!CFileHandler().ReadScrambledFile(strPath, strText))
        return false;
    CMyXmlDom dom;
    if (!dom.LoadXml(strText) || dom.GetRoot() == nullptr)
        return false;
    const CXmlNode* pRoot = dom.GetRoot();
    if (load == EEngineLoad::Program)
    {
        if (const CXmlNode* pVersion = pRoot->FindChild("VERSION"))
            Settings().SetSearchSettingsVersion(pVersion->GetValue());
    }
    return engines.LoadEngines(pRoot->FindChild("LIST_OF_SEARCH_ENGINES"), load);
}
