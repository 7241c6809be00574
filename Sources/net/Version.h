#pragma once

#include "text/MyString.h"

#include <cstdint>

// A dotted version ("1.18", "2.0.1") compared part by part as numbers: "1.18" is newer than
// "1.2". A text without a dot is not a valid version and is older than every valid one.
class CVersion
{
public:
    CVersion() = default;
    explicit CVersion(const CMyString& strVersion) { SetVersion(strVersion); }
    CVersion(const CVersion&) = default;
    CVersion& operator=(const CVersion&) = default;
    virtual ~CVersion() = default;

    // Up to four numbers between the dots, each read as CMyString::ToInt reads it; missing
    // parts are 0 and text behind a fourth dot is ignored.
    void SetVersion(const CMyString& strVersion);
    const CMyString& GetText() const { return m_strText; }
    int32_t GetPart(int nIndex) const { return m_anParts[nIndex]; }
    // Not empty and holding at least one ".".
    bool IsValid() const;
    int Compare(const CVersion& other) const;

    bool operator<(const CVersion& other) const { return Compare(other) < 0; }
    bool operator>(const CVersion& other) const { return Compare(other) > 0; }
    bool operator==(const CVersion& other) const { return Compare(other) == 0; }
    bool operator<=(const CVersion& other) const { return Compare(other) <= 0; }
    bool operator>=(const CVersion& other) const { return Compare(other) >= 0; }

private:
    CMyString m_strText;
    int32_t m_anParts[4] = {0, 0, 0, 0};
};
