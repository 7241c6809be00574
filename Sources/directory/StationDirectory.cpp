#include "directory/StationDirectory.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "platform/TemporaryFile.h"
#include "platform/WindowMessage.h"
#include "text/MyXmlDom.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace
{

CMyString ToString(std::string_view text)
{
    return CMyString(text.data(), static_cast<uint32_t>(text.size()));
}

CMyString LowerCase(const CMyString& strText)
{
    CMyString strLower(strText);
    strLower.MakeLower();
    return strLower;
}

// Fetches the URL and writes exactly its body to the file, whole or not at all.
bool DownloadToFile(const CMyString& strUrl, const CMyString& strFilePath)
{
    // A name that is still relative (no server was found) cannot be fetched; asking the network
    // for it would only wait for a host lookup to fail.
    if (strUrl.Find("://") == MY_NOT_FOUND)
        return false;
    CMyDownload download;
    download.SetReload(true);
    download.SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    if (!download.DownloadToBuffer(strUrl) || download.GetBuffer().GetUsed() == 0)
        return false;
    CTemporaryFile temporary(strFilePath);
    if (!temporary.IsOpen())
        return false;
    const CMyBuffer& buffer = download.GetBuffer();
    return WriteAllBytes(temporary.GetDescriptor(), buffer.GetData(), buffer.GetUsed()) &&
           temporary.Commit(true);
}

} // namespace

bool LoadSettingsFile(const CMyString& strResFolder, const CMyString& strFileName, CMyXmlDom& dom)
{
    CMyString strPath(strResFolder);
    strPath.AppendPath(strFileName);
    CMyString strText;
    if (!CFileHandler().ReadScrambledFile(strPath, strText))
        return false;
    return dom.LoadXml(strText) && dom.GetRoot() != nullptr;
}

// ---------------------------------------------------------------------------------------------
// CMemoryStationTree

HTREEITEM CMemoryStationTree::InsertItem(HTREEITEM hParent, const CMyString& strText,
                                         uint32_t uItemData)
{
    SNode& node = m_nodes.emplace_back();
    node.hParent = hParent;
    node.strText = strText;
    node.uItemData = uItemData;
    return static_cast<HTREEITEM>(m_nodes.size());
}

CMemoryStationTree::SNode* CMemoryStationTree::FindNode(HTREEITEM hItem)
{
    if (hItem == TREE_ROOT || hItem > m_nodes.size())
        return nullptr;
    return &m_nodes[hItem - 1];
}

const CMemoryStationTree::SNode* CMemoryStationTree::GetNode(HTREEITEM hItem) const
{
    if (hItem == TREE_ROOT || hItem > m_nodes.size())
        return nullptr;
    return &m_nodes[hItem - 1];
}

void CMemoryStationTree::SetItemImage(HTREEITEM hItem, int32_t nImage, int32_t nSelectedImage)
{
    if (SNode* pNode = FindNode(hItem))
    {
        pNode->nImage = nImage;
        pNode->nSelectedImage = nSelectedImage;
    }
}

void CMemoryStationTree::Expand(HTREEITEM hItem)
{
    if (SNode* pNode = FindNode(hItem))
        pNode->bExpanded = true;
}

int32_t CMemoryStationTree::AddIcon(const CMyString& strIconFile)
{
    if (strIconFile.IsEmpty())
        return -1;
    struct stat info = {};
    if (::stat(strIconFile.GetBuffer(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
        return -1;
    m_icons.emplace_back(strIconFile.GetBuffer());
    return static_cast<int32_t>(m_icons.size() - 1);
}

// ---------------------------------------------------------------------------------------------
// CStationDirectory

CStationDirectory::CStationDirectory(CStationTreeSink& tree)
    : m_tree(tree), m_pIconReceiver(&m_defaultReceiver),
      m_uFileMessage(RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE))
{
}

CStationDirectory::~CStationDirectory()
{
    RemoveAll();
}

void CStationDirectory::RemoveAll()
{
    m_arrItems.RemoveAll();
    m_uItemCount = 0;
    m_strSearchNames.clear();
    m_arrSearchStarts.clear();
}

uint32_t CStationDirectory::FindRecord(const CMyString& strLowerText, uint32_t uAfter) const
{
    const uint32_t uCount = m_uItemCount;
    if (uCount == 0 || m_arrSearchStarts.size() != uCount)
        return MY_NOT_FOUND;
    const uint32_t uFirst = uAfter >= uCount - 1 ? 0 : uAfter + 1;
    if (strLowerText.IsEmpty())
        return uFirst;

    // From the first record to visit to the end, then from the start up to it.
    const char* pNames = m_strSearchNames.data();
    const size_t uSplit = m_arrSearchStarts[uFirst];
    const void* pFound = ::memmem(pNames + uSplit, m_strSearchNames.size() - uSplit,
                                  strLowerText.GetBuffer(), strLowerText.GetLength());
    if (pFound == nullptr && uSplit > 0)
        pFound = ::memmem(pNames, uSplit, strLowerText.GetBuffer(), strLowerText.GetLength());
    if (pFound == nullptr)
        return MY_NOT_FOUND;
    const auto uFound = static_cast<size_t>(static_cast<const char*>(pFound) - pNames);
    const auto it = std::upper_bound(m_arrSearchStarts.begin(), m_arrSearchStarts.end(),
                                     static_cast<uint32_t>(uFound));
    return static_cast<uint32_t>(it - m_arrSearchStarts.begin()) - 1;
}

CStationItem* CStationDirectory::GetItem(uint32_t uIndex) const
{
    return static_cast<CStationItem*>(m_arrItems.GetAtOrNull(uIndex));
}

bool CStationDirectory::IsPlainFileName(const CMyString& strFileName)
{
    return !strFileName.IsEmpty() && strFileName.Find('/') == MY_NOT_FOUND &&
           strFileName.Find('\\') == MY_NOT_FOUND && strFileName.Find("..") == MY_NOT_FOUND;
}

void CStationDirectory::FindServer()
{
    if (m_bServerChosen)
        return;
    CArrayString arrServers;
    Settings().GetServers(arrServers);
    SetServerUrl(SelectServer(arrServers, UPDATE_SETTINGS_FILE));
}

bool CStationDirectory::LoadMoviesSettings(const CMyString& strResFolder)
{
    // The icon cache is looked at anew by every load.
    m_strIconFolder.Empty();
    m_bIconFolderListed = false;
    CMyXmlDom dom;
    if (!LoadSettingsFile(strResFolder, MOVIES_SETTINGS_FILE, dom))
        return false;
    const CXmlNode* pRoot = dom.GetRoot();
    if (m_bRecordVersions && pRoot->FindChild("VERSION") != nullptr)
        Settings().SetMoviesSettingsVersion(pRoot->GetChildValue("VERSION"));

    if (const CXmlNode* pMovies = pRoot->FindChild("MOVIES"))
    {
        for (int32_t nChild = 0; nChild < pMovies->GetChildCount(); ++nChild)
        {
            const CXmlNode* pEntry = pMovies->GetChild(nChild);
            if (pEntry->IsNamed("ICON"))
                m_nStationImage = LoadIcon(pEntry->GetValue());
            else if (pEntry->IsNamed("FOLDER_ICON"))
                m_nFolderImage = LoadIcon(pEntry->GetValue());
            else if (pEntry->IsNamed("CATEGORY") && pEntry->FindChild("NAME") != nullptr)
            {
                const CMyString strName = pEntry->GetChildValue("NAME");
                const HTREEITEM hCategory = m_tree.InsertItem(TREE_ROOT, strName, m_uItemCount);
                CMyString strIconPath;
                if (pEntry->FindChild("ICON") != nullptr)
                {
                    CMyString strIconUrl(m_strServerUrl);
                    strIconUrl.AppendPath(pEntry->GetChildValue("ICON"));
                    strIconPath = CacheIcon(strIconUrl);
                }
                AddRecord(STATION_ITEM_FOLDER, strName, FOLDER_URL, CMyString(), strIconPath,
                          hCategory);
                if (pEntry->FindChild("FILE_NAME") != nullptr)
                {
                    LoadCategoryFile(strResFolder, pEntry->GetChildValue("FILE_NAME"), hCategory);
                    m_tree.Expand(hCategory);
                }
            }
        }
    }
    m_tree.ScrollToTop();
    return true;
}

void CStationDirectory::LoadCategoryFile(const CMyString& strResFolder,
                                         const CMyString& strFileName, HTREEITEM hCategory)
{
    // The name comes from a downloaded list: it may only name a file of the res folder itself.
    if (!IsPlainFileName(strFileName))
        return;
    CMyXmlDom dom;
    if (!LoadSettingsFile(strResFolder, strFileName, dom))
        return;
    const CXmlNode* pRoot = dom.GetRoot();
    if (m_bRecordVersions && pRoot->FindChild("VERSION") != nullptr)
        Settings().SetFileVersion(strFileName, pRoot->GetChildValue("VERSION"));
    if (const CXmlNode* pMenu = pRoot->FindChild("MENU"))
        LoadMenu(pMenu, hCategory, ToString(pMenu->GetChildValueView("CAPTION")));
}

void CStationDirectory::LoadMenu(const CXmlNode* pMenu, HTREEITEM hParent, const CMyString& strPath)
{
    // A large directory holds hundreds of thousands of stations: the element texts are read in
    // place, and each record's strings are made once and moved into it.
    for (int32_t nChild = 0; nChild < pMenu->GetChildCount(); ++nChild)
    {
        const CXmlNode* pEntry = pMenu->GetChild(nChild);
        const bool bStation = pEntry->IsNamed("MENU_ITEM");
        if (!bStation && !pEntry->IsNamed("MENU"))
            continue;
        const std::string_view caption = pEntry->GetChildValueView("CAPTION");
        if (caption.empty())
            continue;
        const CMyString strCaption = ToString(caption);

        const HTREEITEM hItem = m_tree.InsertItem(hParent, strCaption, m_uItemCount);
        CMyString strIconPath;
        if (m_bFetchIcons)
            strIconPath = CacheIcon(ToString(pEntry->GetChildValueView("ICON_URL")));
        CMyString strItemPath;
        strItemPath.Reserve(strPath.GetLength() + strCaption.GetLength() + 1);
        strItemPath.Append(strPath);
        strItemPath.AppendPath(strCaption);
        if (bStation)
        {
            CStationItem* pStation = AddRecord(
                STATION_ITEM_STATION, strCaption, ToString(pEntry->GetChildValueView("URL")),
                std::move(strItemPath), std::move(strIconPath), hItem);
            // Optional request headers of the station; lists without them load as before.
            const std::string_view userAgent = pEntry->GetChildValueView("USER_AGENT");
            if (!userAgent.empty())
                pStation->m_strUserAgent = ToString(userAgent);
            const std::string_view referrer = pEntry->GetChildValueView("REFERRER");
            if (!referrer.empty())
                pStation->m_strReferrer = ToString(referrer);
        }
        else
        {
            m_tree.SetItemImage(hItem, m_nFolderImage, m_nFolderImage);
            AddRecord(STATION_ITEM_FOLDER, strCaption, FOLDER_URL, CMyString(),
                      std::move(strIconPath), hItem);
            LoadMenu(pEntry, hItem, strItemPath);
        }
    }
}

CStationItem* CStationDirectory::AddRecord(int32_t nType, const CMyString& strCaption,
                                           CMyString strUrl, CMyString strPath,
                                           CMyString strIconPath, HTREEITEM hItem)
{
    CStationItem* pItem = new CStationItem;
    pItem->m_nType = nType;
    pItem->m_strIconPath = std::move(strIconPath);
    pItem->m_strPath = std::move(strPath);
    pItem->m_strUrl = std::move(strUrl);
    pItem->m_strSearchName = LowerCase(strCaption);
    pItem->m_hItem = hItem;
    m_arrSearchStarts.push_back(static_cast<uint32_t>(m_strSearchNames.size()));
    m_strSearchNames.append(pItem->m_strSearchName.IsEmpty() ? ""
                                                             : pItem->m_strSearchName.GetBuffer(),
                            pItem->m_strSearchName.GetLength());
    m_strSearchNames += '\0';
    m_arrItems.Add(pItem);
    m_uItemCount = m_arrItems.GetCount();
    return pItem;
}

int32_t CStationDirectory::LoadIcon(const CMyString& strName)
{
    if (!m_bFetchIcons || strName.IsEmpty())
        return -1;
    CMyString strUrl(m_strServerUrl);
    strUrl.AppendPath(strName);
    CMyString strFilePath = Settings().GetIconFilePath(strUrl);
    if (!CFileHandler().FileExists(strFilePath) && !DownloadToFile(strUrl, strFilePath))
        strFilePath.Empty();
    return m_tree.AddIcon(strFilePath);
}

bool CStationDirectory::IsIconCached(const CMyString& strFileName)
{
    // A large directory names a great many icons: the cache folder is listed once per load
    // instead of asking the file system about every icon.
    if (!m_bIconFolderListed)
    {
        m_bIconFolderListed = true;
        m_cachedIcons.clear();
        DIR* pFolder = m_strIconFolder.IsEmpty() ? nullptr : ::opendir(m_strIconFolder.GetBuffer());
        if (pFolder != nullptr)
        {
            while (const dirent* pEntry = ::readdir(pFolder))
            {
                // A link counts only when what it points at exists, as for a look-up by name.
                struct stat info = {};
                if (pEntry->d_type == DT_REG || pEntry->d_type == DT_DIR ||
                    ::fstatat(::dirfd(pFolder), pEntry->d_name, &info, 0) == 0)
                    m_cachedIcons.insert(pEntry->d_name);
            }
            ::closedir(pFolder);
        }
    }
    return m_cachedIcons.count(strFileName.GetBuffer()) != 0;
}

CMyString CStationDirectory::CacheIcon(const CMyString& strUrl)
{
    if (!m_bFetchIcons || strUrl.IsEmpty())
        return CMyString();
    if (m_strIconFolder.IsEmpty())
        m_strIconFolder = Settings().GetCacheIconFolder();
    const CMyString strFileName = Settings::GetCacheIconName(strUrl);
    CMyString strFilePath;
    strFilePath.Reserve(m_strIconFolder.GetLength() + strFileName.GetLength() + 1);
    strFilePath += m_strIconFolder;
    strFilePath += strFileName;
    if (IsIconCached(strFileName) || m_pIconReceiver.isNull() || strUrl.Find("://") == MY_NOT_FOUND)
        return strFilePath;
    // Many items share an icon: its download starts once.
    if (!m_startedIcons.insert(strFilePath.GetBuffer()).second)
        return strFilePath;
    // The job deletes itself when it ends; nobody waits for it.
    CMyDownload* pDownload = new CMyDownload;
    pDownload->SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    pDownload->StartFileDownload(strUrl, strFilePath, m_pIconReceiver.data(), m_uFileMessage, 0);
    return strFilePath;
}
