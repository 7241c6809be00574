#pragma once

#include "text/ArrayString.h"
#include "text/MyString.h"

#include <cstdint>

// One element of a settings file: its name (everything between "<" and ">" of its start tag),
// its text, and its children in document order, also found by name ignoring case.
class CXmlNode : public CSeed
{
public:
    CXmlNode() = default;
    explicit CXmlNode(CMyString strName);
    CXmlNode(const CXmlNode&) = delete;
    CXmlNode& operator=(const CXmlNode&) = delete;
    ~CXmlNode() override;

    CMyString GetName() const { return m_strName; }
    CMyString GetValue() const { return m_strValue; }
    int32_t GetChildCount() const;
    CXmlNode* GetChild(int32_t nIndex) const;
    // The last child of that name, ignoring case; null when there is none.
    CXmlNode* FindChild(const CMyString& strName) const;
    // The value of FindChild, or an empty string.
    CMyString GetChildValue(const CMyString& strName) const;

private:
    friend class CXmlParser;

    void AddChild(CXmlNode* pChild);

    CMyString m_strName;
    CMyString m_strValue;
    CArrayPtr m_arrChildren{10};
    CMapPtr m_mapChildren;
};

// Reads the small XML subset every settings file is written in: elements and text only, no
// attributes, declarations, comments or CDATA. Entity references in text are decoded.
class CMyXmlDom
{
public:
    // Elements nested deeper than this fail the load; real lists nest a handful of levels.
    static constexpr uint32_t MAX_ELEMENT_DEPTH = 1000;

    CMyXmlDom() = default;
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
    CXmlNode* m_pRoot = nullptr;
};
