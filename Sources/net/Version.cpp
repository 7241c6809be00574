#include "net/Version.h"

void CVersion::SetVersion(const CMyString& strVersion)
{
    for (int32_t& nPart : m_anParts)
        nPart = 0;
    m_strText = strVersion;
    uint32_t uStart = 0;
    for (int32_t& nPart : m_anParts)
    {
        const uint32_t uDot = m_strText.Find('.', uStart);
        const uint32_t uEnd = uDot == MY_NOT_FOUND ? m_strText.GetLength() : uDot;
        nPart = m_strText.Mid(uStart, uEnd - uStart).ToInt();
        if (uDot == MY_NOT_FOUND)
            break;
        uStart = uDot + 1;
    }
}

bool CVersion::IsValid() const
{
    return !m_strText.IsEmpty() && m_strText.Find('.') != MY_NOT_FOUND;
}

int CVersion::Compare(const CVersion& other) const
{
    if (!IsValid() || !other.IsValid())
        return IsValid() == other.IsValid() ? 0 : (IsValid() ? 1 : -1);
    for (int i = 0; i < 4; ++i)
    {
        if (m_anParts[i] != other.m_anParts[i])
            return m_anParts[i] < other.m_anParts[i] ? -1 : 1;
    }
    return 0;
}
