#pragma once

#include "text/MyString.h"

#include <cstdint>
#include <memory>

class CMenuXP;
class CXmlNode;

// The file in the res folder that lists the web search engines.
inline constexpr const char* SEARCH_SETTINGS_FILE = "SearchSettings.txt";

// Identifier of the search bar's own engine, which searches the station tree.
inline constexpr int32_t BUILT_IN_ENGINE_ID = 100;

// How a list of engines is read.
enum class EEngineLoad
{
    // As the program does at start-up: icons are fetched into the res folder (or taken from it)
    // and the list's version is recorded in the settings.
    Program,
    // Reading only: no network and no settings written; an engine's picture stays its address.
    Inspect,
};

// One entry of the engine menu: a web search engine or a separator line.
class CSearchEngine
{
public:
    CSearchEngine() = default;
    CSearchEngine(const CSearchEngine&) = default;
    CSearchEngine& operator=(const CSearchEngine&) = default;
    virtual ~CSearchEngine() = default;

    // Fills the entry from a SEARCH_ENGINE or SEPARATOR element. False for a null node and for
    // an engine element without children, which is no entry.
    bool LoadEngine(const CXmlNode* pNode, EEngineLoad load = EEngineLoad::Program);

    // The address that searches strText (UTF-8) with this engine; empty when nothing is to be
    // opened.
    CMyString BuildQuery(const CMyString& strText) const;
    // The text form-encoded in the engine's character set (UTF-8 when it names none that iconv
    // knows).
    CMyString EncodeSearchText(const CMyString& strText) const;

    CMyString m_strCaption;
    CMyString m_strPrefix;
    CMyString m_strEmptySearchUrl;
    CMyString m_strInputCharset;
    // The local path of the engine's icon after a program load, or empty.
    CMyString m_strImagePath;
    CMyString m_strTermToReplace;
    int32_t m_bSeparator = 0;
    // 1-based position in the loaded list; 0 before loading.
    int32_t m_nId = 0;

private:
    // Takes the icon from the res folder, or downloads it there.
    void FetchIcon(const CMyString& strUrl);
};

// The engines in menu order.
class CSearchEngines
{
public:
    CSearchEngines() = default;
    CSearchEngines(const CSearchEngines&) = delete;
    CSearchEngines& operator=(const CSearchEngines&) = delete;
    virtual ~CSearchEngines() = default;

    // Builds the list from a LIST_OF_SEARCH_ENGINES element; entries get identifiers 1 to k.
    // False when the element holds no usable entry: the list is then empty, or left as it was
    // when the element names no engine or separator at all.
    bool LoadEngines(const CXmlNode* pList, EEngineLoad load = EEngineLoad::Program);

    // Null when the index is negative or not below the number of entries.
    CSearchEngine* GetEngine(int32_t nIndex) const;
    int32_t GetCount() const { return m_nCount; }

    // Appends the list to the engine menu in order: a separator line for a separator entry,
    // otherwise an item with the entry's identifier as command, its caption and its picture.
    // Nothing happens for an empty list.
    void AddToMenu(CMenuXP& menu) const;

private:
    int32_t m_nCount = 0;
    std::unique_ptr<CSearchEngine[]> m_pEngines;
};

// Reads the res folder's SEARCH_SETTINGS_FILE (scrambled XML) into engines. A file that is
// missing or cannot be parsed leaves the list empty. True when the list holds entries.
bool LoadSearchSettings(const CMyString& strResFolder, CSearchEngines& engines,
                        EEngineLoad load = EEngineLoad::Program);
