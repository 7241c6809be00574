#include "text/ArrayString.h"

#include "text/MyAssert.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace
{
// A heap copy of a string, held by the string containers.
class CStringSeed : public CSeed
{
public:
    explicit CStringSeed(const CMyString& strValue) : m_strValue(strValue) {}
    CMyString m_strValue;
};

CSeed* NewStringSeed(const CMyString& strValue)
{
    // A failed allocation stores a null element.
    return new (std::nothrow) CStringSeed(strValue);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// CArrayPtr

CArrayPtr::CArrayPtr(uint32_t uGrowBy) : m_uGrowBy(uGrowBy)
{
    SetGrowBy(uGrowBy);
}

CArrayPtr::~CArrayPtr()
{
    delete[] m_ppData;
}

void CArrayPtr::SetGrowBy(uint32_t uGrowBy)
{
    MY_ASSERT((uGrowBy < 0xff000000) && (uGrowBy > 0));
    m_uGrowBy = uGrowBy;
}

void CArrayPtr::Grow(uint32_t uCount)
{
    if (uCount < m_uMaxCount)
        return;
    const uint64_t uNewMax = uint64_t{m_uMaxCount} + uCount + m_uGrowBy;
    MY_ASSERT(uNewMax < 0xffffffffu);
    auto** ppData = new CSeed*[uNewMax];
    if (m_uCount > 0)
        std::memcpy(ppData, m_ppData, m_uCount * sizeof(CSeed*));
    delete[] m_ppData;
    m_ppData = ppData;
    m_uMaxCount = static_cast<uint32_t>(uNewMax);
}

uint32_t CArrayPtr::Add(CSeed* pElement)
{
    Grow(m_uCount + 1);
    m_ppData[m_uCount] = pElement;
    return m_uCount++;
}

void CArrayPtr::InsertAt(uint32_t uIndex, CSeed* pElement)
{
    MY_ASSERT(uIndex <= m_uCount);
    Grow(m_uCount + 1);
    std::memmove(m_ppData + uIndex + 1, m_ppData + uIndex, (m_uCount - uIndex) * sizeof(CSeed*));
    m_ppData[uIndex] = pElement;
    ++m_uCount;
}

CSeed* CArrayPtr::GetAt(uint32_t uIndex) const
{
    MY_ASSERT(uIndex < m_uCount);
    return m_ppData[uIndex];
}

CSeed* CArrayPtr::GetAtOrNull(uint32_t uIndex) const
{
    return uIndex < m_uCount ? m_ppData[uIndex] : nullptr;
}

CSeed* CArrayPtr::SetAt(uint32_t uIndex, CSeed* pElement)
{
    MY_ASSERT(uIndex < m_uCount);
    return std::exchange(m_ppData[uIndex], pElement);
}

void CArrayPtr::Swap(uint32_t uIndex1, uint32_t uIndex2)
{
    MY_ASSERT(uIndex1 < m_uCount);
    MY_ASSERT(uIndex2 < m_uCount);
    std::swap(m_ppData[uIndex1], m_ppData[uIndex2]);
}

CSeed* CArrayPtr::RemoveAt(uint32_t uIndex)
{
    MY_ASSERT(uIndex < m_uCount);
    CSeed* pRemoved = m_ppData[uIndex];
    std::memmove(m_ppData + uIndex, m_ppData + uIndex + 1,
                 (m_uCount - uIndex - 1) * sizeof(CSeed*));
    --m_uCount;
    return pRemoved;
}

void CArrayPtr::RemoveRange(uint32_t uStart, uint32_t uCount, bool bDelete)
{
    MY_ASSERT(uStart < m_uCount);
    const uint32_t uEnd = uCount < m_uCount - uStart ? uStart + uCount : m_uCount;
    if (bDelete)
    {
        for (uint32_t i = uStart; i < uEnd; ++i)
            delete m_ppData[i];
    }
    std::memmove(m_ppData + uStart, m_ppData + uEnd, (m_uCount - uEnd) * sizeof(CSeed*));
    m_uCount -= uEnd - uStart;
}

void CArrayPtr::RemoveAll()
{
    while (m_uCount > 0)
        delete RemoveAt(m_uCount - 1);
}

// ---------------------------------------------------------------------------------------------
// CArrayString

CArrayString::~CArrayString()
{
    RemoveAll();
}

uint32_t CArrayString::Add(const CMyString& strValue)
{
    return m_arrStrings.Add(NewStringSeed(strValue));
}

void CArrayString::InsertAt(uint32_t uIndex, const CMyString& strValue)
{
    m_arrStrings.InsertAt(uIndex, NewStringSeed(strValue));
}

CMyString CArrayString::GetAt(uint32_t uIndex) const
{
    const auto* pElement = static_cast<const CStringSeed*>(m_arrStrings.GetAt(uIndex));
    return pElement != nullptr ? pElement->m_strValue : CMyString();
}

CMyString CArrayString::SetAt(uint32_t uIndex, const CMyString& strValue)
{
    auto* pOld = static_cast<CStringSeed*>(m_arrStrings.SetAt(uIndex, NewStringSeed(strValue)));
    CMyString strOld;
    if (pOld != nullptr)
        strOld = std::move(pOld->m_strValue);
    delete pOld;
    return strOld;
}

CMyString CArrayString::RemoveAt(uint32_t uIndex)
{
    delete m_arrStrings.RemoveAt(uIndex);
    return CMyString();
}

void CArrayString::RemoveAll()
{
    while (m_arrStrings.GetCount() > 0)
        RemoveAt(m_arrStrings.GetCount() - 1);
}

// ---------------------------------------------------------------------------------------------
// CMapPtr

CMapPtr::~CMapPtr()
{
    RemoveAll(false);
}

void CMapPtr::InitHashTable(uint32_t uTableSize)
{
    MY_ASSERT(m_puTable == NULL);
    MY_ASSERT(uTableSize > 0);
    m_uTableSize = uTableSize;
    m_puTable = new uint32_t[size_t{uTableSize} * 2]();
    m_ppBuckets = new Pair*[uTableSize]();
}

uint32_t CMapPtr::FindInBucket(uint32_t uBucket, uint32_t uKey) const
{
    const Pair* pPairs = m_ppBuckets[uBucket];
    for (uint32_t i = EntriesIn(uBucket); i > 0; --i)
    {
        if (pPairs[i - 1].uKey == uKey)
            return i - 1;
    }
    return MY_NOT_FOUND;
}

void CMapPtr::SetAt(uint32_t uKey, CSeed* pValue)
{
    MY_ASSERT(m_puTable != NULL);
    const uint32_t uBucket = BucketOf(uKey);
    const uint32_t uIndex = FindInBucket(uBucket, uKey);
    if (uIndex != MY_NOT_FOUND)
    {
        m_ppBuckets[uBucket][uIndex].pValue = pValue;
        return;
    }
    uint32_t& uEntries = EntriesIn(uBucket);
    uint32_t& uSlots = SlotsIn(uBucket);
    if (uEntries >= uSlots)
    {
        // A full bucket grows by the bucket grow-by, one pair.
        const size_t uNewSlots = size_t{uSlots} + m_uBucketGrowBy;
        auto* pPairs =
            static_cast<Pair*>(std::realloc(m_ppBuckets[uBucket], uNewSlots * sizeof(Pair)));
        MY_ASSERT(pPairs != NULL);
        m_ppBuckets[uBucket] = pPairs;
        uSlots = static_cast<uint32_t>(uNewSlots);
    }
    m_ppBuckets[uBucket][uEntries++] = Pair{uKey, pValue};
    ++m_uCount;
}

CSeed* CMapPtr::Lookup(uint32_t uKey) const
{
    CSeed* pValue = nullptr;
    return Lookup(uKey, pValue) ? pValue : nullptr;
}

bool CMapPtr::Lookup(uint32_t uKey, CSeed*& pValue) const
{
    MY_ASSERT(m_puTable != NULL);
    const uint32_t uBucket = BucketOf(uKey);
    const uint32_t uIndex = FindInBucket(uBucket, uKey);
    if (uIndex == MY_NOT_FOUND)
        return false;
    pValue = m_ppBuckets[uBucket][uIndex].pValue;
    return true;
}

CSeed* CMapPtr::RemoveKey(uint32_t uKey)
{
    MY_ASSERT(m_puTable != NULL);
    const uint32_t uBucket = BucketOf(uKey);
    const uint32_t uIndex = FindInBucket(uBucket, uKey);
    if (uIndex == MY_NOT_FOUND)
        return nullptr;
    Pair* pPairs = m_ppBuckets[uBucket];
    CSeed* pValue = pPairs[uIndex].pValue;
    uint32_t& uEntries = EntriesIn(uBucket);
    std::memmove(pPairs + uIndex, pPairs + uIndex + 1, (uEntries - uIndex - 1) * sizeof(Pair));
    --uEntries;
    --m_uCount;
    return pValue;
}

void CMapPtr::GetStartPosition(Position& position) const
{
    MY_ASSERT(m_puTable != NULL);
    position = Position{m_uTableSize + 1, 0};
    if (m_uCount == 0)
        return;
    for (uint32_t uBucket = 0; uBucket < m_uTableSize; ++uBucket)
    {
        if (EntriesIn(uBucket) > 0)
        {
            position = Position{uBucket, 0};
            return;
        }
    }
}

bool CMapPtr::GetNext(Position& position, CSeed*& pValue) const
{
    MY_ASSERT(m_puTable != NULL);
    uint32_t uBucket = position.uBucket;
    uint32_t uIndex = position.uIndex;
    if (uBucket >= m_uTableSize)
        return false;
    while (uIndex >= EntriesIn(uBucket))
    {
        ++uBucket;
        uIndex = 0;
        if (uBucket >= m_uTableSize)
        {
            position = Position{uBucket, 0};
            return false;
        }
    }
    pValue = m_ppBuckets[uBucket][uIndex].pValue;
    position = Position{uBucket, uIndex + 1};
    return true;
}

void CMapPtr::RemoveAll(bool bDelete)
{
    for (uint32_t uBucket = m_uTableSize; uBucket > 0; --uBucket)
    {
        Pair* pPairs = m_ppBuckets[uBucket - 1];
        if (bDelete)
        {
            for (uint32_t i = EntriesIn(uBucket - 1); i > 0; --i)
                delete pPairs[i - 1].pValue;
        }
        std::free(pPairs);
    }
    delete[] m_ppBuckets;
    delete[] m_puTable;
    m_ppBuckets = nullptr;
    m_puTable = nullptr;
    m_uTableSize = 0;
    m_uCount = 0;
}

// ---------------------------------------------------------------------------------------------
// CStringTokenizer

CStringTokenizer::CStringTokenizer(const CMyString& strText, const CMyString& strDelimiters)
    : m_strDelimiters(strDelimiters)
{
    m_mapDelimiters.InitHashTable(37);
    for (uint32_t i = 0; i < m_strDelimiters.GetLength(); ++i)
        m_mapDelimiters.SetAt(static_cast<uint32_t>(static_cast<int32_t>(
                                  static_cast<signed char>(m_strDelimiters.GetAt(i)))),
                              nullptr);

    CMyString strToken;
    for (uint32_t i = 0; i < strText.GetLength(); ++i)
    {
        const char c = strText.GetAt(i);
        if (!IsDelimiter(c))
        {
            strToken += c;
            continue;
        }
        if (!strToken.IsEmpty())
            m_arrTokens.Add(NewStringSeed(strToken));
        strToken.Empty();
    }
    if (!strToken.IsEmpty())
        m_arrTokens.Add(NewStringSeed(strToken));
}

CStringTokenizer::~CStringTokenizer()
{
    m_arrTokens.RemoveAll();
}

bool CStringTokenizer::GetToken(uint32_t uIndex, CMyString& strToken)
{
    if (uIndex >= GetCount())
        return false;
    m_uCurrent = uIndex;
    return GetNextToken(strToken);
}

bool CStringTokenizer::GetNextToken(CMyString& strToken)
{
    if (m_uCurrent >= GetCount())
        return false;
    const auto* pToken = static_cast<const CStringSeed*>(m_arrTokens.GetAt(m_uCurrent++));
    strToken = pToken != nullptr ? pToken->m_strValue : CMyString();
    return true;
}

bool CStringTokenizer::IsDelimiter(char c) const
{
    if (m_strDelimiters.IsEmpty())
        return false;
    CSeed* pUnused = nullptr;
    return m_mapDelimiters.Lookup(
        static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c))), pUnused);
}
