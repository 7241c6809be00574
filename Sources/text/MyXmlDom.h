#pragma once

#include "text/MyString.h"

#include <cstdint>
#include <memory>
#include <string_view>

class CXmlArena;

// One element of a settings file: its name (everything between "<" and ">" of its start tag),
// its text, and its children in document order, also found by name ignoring case. Nodes belong
// to the document that read them and live until it reads another text or is destroyed.
class CXmlNode
{
public:
    CXmlNode(const CXmlNode&) = delete;
    CXmlNode& operator=(const CXmlNode&) = delete;

    CMyString GetName() const { return CMyString(m_pszName, m_uNameLength); }
    CMyString GetValue() const { return CMyString(m_pszValue, m_uValueLength); }
    // The same texts without a copy, valid as long as the node.
    std::string_view GetNameView() const { return {m_pszName, m_uNameLength}; }
    std::string_view GetValueView() const { return {m_pszValue, m_uValueLength}; }
    // Whether the name equals the text, ignoring ASCII case.
    bool IsNamed(std::string_view name) const;

    int32_t GetChildCount() const { return static_cast<int32_t>(m_uChildCount); }
    CXmlNode* GetChild(int32_t nIndex) const;
    // The last child of that name, ignoring case; null when there is none.
    CXmlNode* FindChild(const CMyString& strName) const;
    CXmlNode* FindChild(std::string_view name) const;
    CXmlNode* FindChild(const char* pszName) const { return FindChild(std::string_view(pszName)); }
    // The value of FindChild, or an empty string.
    CMyString GetChildValue(const CMyString& strName) const;
    std::string_view GetChildValueView(std::string_view name) const;

private:
    friend class CXmlParser;

    CXmlNode() = default;
    // The last child whose name has that key (HashKeyNoCase of the name).
    CXmlNode* FindChildByKey(uint32_t uKey) const;

    // Names and values are NUL-terminated texts kept by the document.
    const char* m_pszName = "";
    const char* m_pszValue = "";
    uint32_t m_uNameLength = 0;
    uint32_t m_uValueLength = 0;
    // HashKeyNoCase of the name: lookups by name compare these keys, so two names of the same
    // key find the later of them.
    uint32_t m_uNameKey = 0;
    uint32_t m_uChildCount = 0;
    CXmlNode* const* m_ppChildren = nullptr;
};

// Reads the small XML subset every settings file is written in: elements and text only, no
// attributes, declarations, comments or CDATA. Entity references in text are decoded.
class CMyXmlDom
{
public:
    // Elements nested deeper than this fail the load; real lists nest a handful of levels.
    static constexpr uint32_t MAX_ELEMENT_DEPTH = 1000;

    CMyXmlDom();
    CMyXmlDom(const CMyXmlDom&) = delete;
    CMyXmlDom& operator=(const CMyXmlDom&) = delete;
    virtual ~CMyXmlDom();

    // Parses the whole text into a new root. On failure the old root stays and the result is
    // false.
    bool LoadXml(const CMyString& strText);
    // Reads the file as text and parses it; false when it cannot be read or parsed.
    bool LoadFile(const CMyString& strPath);
    CXmlNode* GetRoot() const { return m_pRoot; }

private:
    // Holds every node, name and value of the current tree, freed at once with it.
    std::unique_ptr<CXmlArena> m_pArena;
    CXmlNode* m_pRoot = nullptr;
};
