#pragma once

#include "config/ServerList.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

class CMyXmlDom;
class CXmlNode;

// Name of the movies settings file in the res folder.
inline constexpr const char* MOVIES_SETTINGS_FILE = "MoviesSettings.txt";
// The URL of every folder record.
inline constexpr const char* FOLDER_URL = "Folder";

// Reads a scrambled settings file of the res folder and parses it; false when either fails or
// the text has no root.
bool LoadSettingsFile(const CMyString& strResFolder, const CMyString& strFileName, CMyXmlDom& dom);

// A handle of a tree item, given by the tree that made the item; TREE_ROOT is the invisible
// parent of the top-level items.
using HTREEITEM = uintptr_t;
inline constexpr HTREEITEM TREE_ROOT = 0;

// Kinds of directory record.
inline constexpr int32_t STATION_ITEM_FOLDER = 0;
inline constexpr int32_t STATION_ITEM_STATION = 1;

// One record of the station directory: a category, a menu or a station, in the order its tree
// item was inserted.
class CStationItem : public CSeed
{
public:
    CStationItem() = default;
    CStationItem(const CStationItem&) = default;
    CStationItem& operator=(const CStationItem&) = default;
    ~CStationItem() override = default;

    bool IsStation() const { return m_nType == STATION_ITEM_STATION; }

    int32_t m_nType = STATION_ITEM_FOLDER;
    // Local file of the item's small icon; empty when the item names none.
    CMyString m_strIconPath;
    // Stations: the captions from the category file's top menu down to the station, joined with
    // "/". Empty for folders.
    CMyString m_strPath;
    // Stations: the address the player opens. Folders: FOLDER_URL.
    CMyString m_strUrl;
    // The caption in lower case, for the tree search.
    CMyString m_strSearchName;
    HTREEITEM m_hItem = TREE_ROOT;
    // Stations: what the player sends as user agent and as referrer when it requests the stream;
    // empty for the player's own (and for folders). Some streams refuse other players.
    CMyString m_strUserAgent;
    CMyString m_strReferrer;
};

// What the directory loader needs of a tree control and its image list. The station tree view
// implements it on its widget; CMemoryStationTree implements it in memory.
class CStationTreeSink
{
public:
    CStationTreeSink() = default;
    CStationTreeSink(const CStationTreeSink&) = delete;
    CStationTreeSink& operator=(const CStationTreeSink&) = delete;
    virtual ~CStationTreeSink() = default;

    // Inserts an item after the parent's existing children (TREE_ROOT: at the top level) with
    // image 0; answers its handle.
    virtual HTREEITEM InsertItem(HTREEITEM hParent, const CMyString& strText,
                                 uint32_t uItemData) = 0;
    virtual void SetItemImage(HTREEITEM hItem, int32_t nImage, int32_t nSelectedImage) = 0;
    virtual void Expand(HTREEITEM hItem) = 0;
    virtual void ScrollToTop() = 0;
    // Loads the icon file into the image list; answers its image index, or -1 when nothing
    // could be added (also for an empty path).
    virtual int32_t AddIcon(const CMyString& strIconFile) = 0;
};

// A tree kept in memory, for the list tool and the tests. Handles are node index + 1.
class CMemoryStationTree : public CStationTreeSink
{
public:
    struct SNode
    {
        HTREEITEM hParent = TREE_ROOT;
        CMyString strText;
        uint32_t uItemData = 0;
        int32_t nImage = 0;
        int32_t nSelectedImage = 0;
        bool bExpanded = false;
    };

    CMemoryStationTree() = default;

    HTREEITEM InsertItem(HTREEITEM hParent, const CMyString& strText, uint32_t uItemData) override;
    void SetItemImage(HTREEITEM hItem, int32_t nImage, int32_t nSelectedImage) override;
    void Expand(HTREEITEM hItem) override;
    void ScrollToTop() override { m_bScrolledToTop = true; }
    // Accepts any non-empty file that can be read.
    int32_t AddIcon(const CMyString& strIconFile) override;

    uint32_t GetCount() const { return static_cast<uint32_t>(m_nodes.size()); }
    // The node of a handle; null for TREE_ROOT or a handle this tree did not give.
    const SNode* GetNode(HTREEITEM hItem) const;
    // The icon files in image list order.
    const std::vector<std::string>& GetIcons() const { return m_icons; }
    bool IsScrolledToTop() const { return m_bScrolledToTop; }

private:
    SNode* FindNode(HTREEITEM hItem);

    // A deque, so that a large tree grows without moving its nodes.
    std::deque<SNode> m_nodes;
    std::vector<std::string> m_icons;
    bool m_bScrolledToTop = false;
};

// The station directory: loads the movies settings file and its category files into a tree and
// keeps one record per tree item, whose index is the item's item data. It owns the records.
class CStationDirectory
{
public:
    explicit CStationDirectory(CStationTreeSink& tree);
    CStationDirectory(const CStationDirectory&) = delete;
    CStationDirectory& operator=(const CStationDirectory&) = delete;
    virtual ~CStationDirectory();

    // Whether loading stores the list versions in the settings (default true).
    void SetRecordVersions(bool bRecord) { m_bRecordVersions = bRecord; }
    // Whether loading fetches icons and fills icon paths (default true). Without it icon paths
    // stay empty and both image indexes stay -1.
    void SetFetchIcons(bool bFetch) { m_bFetchIcons = bFetch; }
    // The window told when a background icon download ends; by default an object of the
    // directory's own that ignores the reports.
    void SetIconReceiver(QObject* pReceiver) { m_pIconReceiver = pReceiver; }

    // Chooses the server URL once (unless SetServerUrl gave it): the first server of the server
    // list that answers a connection check on UPDATE_SETTINGS_FILE.
    void FindServer();
    // The server chosen by a walk made elsewhere (empty: none answered); FindServer then walks
    // no more.
    void SetServerUrl(const CMyString& strServerUrl)
    {
        m_strServerUrl = strServerUrl;
        m_bServerChosen = true;
    }
    CMyString GetServerUrl() const { return m_strServerUrl; }

    // Reads the movies settings file of the res folder and every category file it names into
    // the tree. False when the movies settings file cannot be read or parsed (nothing is added).
    bool LoadMoviesSettings(const CMyString& strResFolder);

    uint32_t GetCount() const { return m_uItemCount; }
    // The record with that index (the item data of its tree item); null when out of range.
    CStationItem* GetItem(uint32_t uIndex) const;
    int32_t GetStationImage() const { return m_nStationImage; }
    int32_t GetFolderImage() const { return m_nFolderImage; }

    // The first record after uAfter, in directory order and wrapping around (uAfter itself comes
    // last), whose search name holds the lower-case text; any record matches an empty text.
    // MY_NOT_FOUND when none does or there are no records.
    uint32_t FindRecord(const CMyString& strLowerText, uint32_t uAfter) const;

    // Deletes every record; the tree is left as it is.
    void RemoveAll();

    // Whether a FILE_NAME names a plain file of the res folder (no folder part, no "..").
    static bool IsPlainFileName(const CMyString& strFileName);

private:
    void LoadCategoryFile(const CMyString& strResFolder, const CMyString& strFileName,
                          HTREEITEM hCategory);
    void LoadMenu(const CXmlNode* pMenu, HTREEITEM hParent, const CMyString& strPath);
    // Appends a record for the item; its index is the current record counter. Answers it.
    CStationItem* AddRecord(int32_t nType, const CMyString& strCaption, CMyString strUrl,
                            CMyString strPath, CMyString strIconPath, HTREEITEM hItem);
    // Downloads the icon named relative to the server URL (when its file is not there yet) and
    // adds it to the image list; answers the image index or -1.
    int32_t LoadIcon(const CMyString& strName);
    // The cache file of a small icon, starting its background download when it is missing.
    CMyString CacheIcon(const CMyString& strUrl);
    // Whether the icon cache folder held a file of that name when the load began.
    bool IsIconCached(const CMyString& strFileName);

    CStationTreeSink& m_tree;
    CArrayPtr m_arrItems{500};
    uint32_t m_uItemCount = 0;
    CMyString m_strServerUrl;
    bool m_bServerChosen = false;
    int32_t m_nStationImage = -1;
    int32_t m_nFolderImage = -1;
    bool m_bRecordVersions = true;
    bool m_bFetchIcons = true;
    QObject m_defaultReceiver;
    QPointer<QObject> m_pIconReceiver;
    uint32_t m_uFileMessage = 0;
    // The search names of all records in record order, each ended by a NUL, and where each
    // begins: one pass over adjacent memory searches a large directory (no name holds a NUL, so
    // a match never spans two records).
    std::string m_strSearchNames;
    std::vector<uint32_t> m_arrSearchStarts;
    // The icon cache folder and the names in it, taken once per load.
    CMyString m_strIconFolder;
    bool m_bIconFolderListed = false;
    std::unordered_set<std::string> m_cachedIcons;
    // Cache files whose download this directory started, so that each is fetched once.
    std::unordered_set<std::string> m_startedIcons;
};
