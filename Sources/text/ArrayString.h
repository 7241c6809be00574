#pragma once

#include "text/MyString.h"

#include <cstdint>

// Common base of everything a container may be asked to delete.
class CSeed
{
public:
    CSeed() = default;
    CSeed(const CSeed&) = default;
    CSeed& operator=(const CSeed&) = default;
    virtual ~CSeed() = default;
};

// A growable array of object pointers. It frees only its own block: the elements are deleted
// by RemoveAll, or by RemoveRange when asked.
class CArrayPtr : public CSeed
{
public:
    explicit CArrayPtr(uint32_t uGrowBy = 10);
    CArrayPtr(const CArrayPtr&) = delete;
    CArrayPtr& operator=(const CArrayPtr&) = delete;
    ~CArrayPtr() override;

    void SetGrowBy(uint32_t uGrowBy);
    uint32_t GetCount() const { return m_uCount; }
    uint32_t GetMaxCount() const { return m_uMaxCount; }

    uint32_t Add(CSeed* pElement);
    void InsertAt(uint32_t uIndex, CSeed* pElement);
    CSeed* GetAt(uint32_t uIndex) const;
    CSeed* GetAtOrNull(uint32_t uIndex) const;
    // Stores pElement and hands back the old element, which is not deleted.
    CSeed* SetAt(uint32_t uIndex, CSeed* pElement);
    void Swap(uint32_t uIndex1, uint32_t uIndex2);
    // Removes one element and hands it to the caller.
    CSeed* RemoveAt(uint32_t uIndex);
    void RemoveRange(uint32_t uStart, uint32_t uCount, bool bDelete);
    // Removes and deletes every element.
    void RemoveAll();

private:
    // Makes room for uCount elements: old capacity + uCount + grow-by when it is reached.
    void Grow(uint32_t uCount);

    uint32_t m_uCount = 0;
    uint32_t m_uMaxCount = 0;
    uint32_t m_uGrowBy;
    CSeed** m_ppData = nullptr;
};

// An array of strings that owns copies of what it is given.
class CArrayString : public CSeed
{
public:
    CArrayString() = default;
    CArrayString(const CArrayString&) = delete;
    CArrayString& operator=(const CArrayString&) = delete;
    ~CArrayString() override;

    uint32_t GetCount() const { return m_arrStrings.GetCount(); }
    uint32_t Add(const CMyString& strValue);
    void InsertAt(uint32_t uIndex, const CMyString& strValue);
    CMyString GetAt(uint32_t uIndex) const;
    // Answers the string that was replaced.
    CMyString SetAt(uint32_t uIndex, const CMyString& strValue);
    // Removes and deletes the element; answers an empty string.
    CMyString RemoveAt(uint32_t uIndex);
    void RemoveAll();

private:
    CArrayPtr m_arrStrings{10};
};

// A hash map from 32-bit keys to object pointers, in a fixed number of buckets chosen by
// InitHashTable. The string forms store only HashKey of the string. Values are not owned,
// except that RemoveAll(true) deletes them.
class CMapPtr : public CSeed
{
public:
    // Where an iteration stands: a bucket and an index inside it.
    struct Position
    {
        uint32_t uBucket = 0;
        uint32_t uIndex = 0;
    };

    CMapPtr() = default;
    CMapPtr(const CMapPtr&) = delete;
    CMapPtr& operator=(const CMapPtr&) = delete;
    ~CMapPtr() override;

    void InitHashTable(uint32_t uTableSize);
    uint32_t GetHashTableSize() const { return m_uTableSize; }
    uint32_t GetCount() const { return m_uCount; }

    void SetAt(uint32_t uKey, CSeed* pValue);
    CSeed* Lookup(uint32_t uKey) const;
    bool Lookup(uint32_t uKey, CSeed*& pValue) const;
    CSeed* RemoveKey(uint32_t uKey);

    void SetAt(const CMyString& strKey, CSeed* pValue) { SetAt(HashKey(strKey), pValue); }
    CSeed* Lookup(const CMyString& strKey) const { return Lookup(HashKey(strKey)); }
    bool Lookup(const CMyString& strKey, CSeed*& pValue) const
    {
        return Lookup(HashKey(strKey), pValue);
    }
    CSeed* RemoveKey(const CMyString& strKey) { return RemoveKey(HashKey(strKey)); }

    // Buckets in ascending order, pairs of a bucket in insertion order; values only.
    void GetStartPosition(Position& position) const;
    bool GetNext(Position& position, CSeed*& pValue) const;

    // Frees every bucket and both tables (deleting the values when asked), so that
    // InitHashTable may be called again.
    void RemoveAll(bool bDelete);

private:
    struct Pair
    {
        uint32_t uKey;
        CSeed* pValue;
    };

    uint32_t BucketOf(uint32_t uKey) const { return uKey % m_uTableSize; }
    // Index of the key in its bucket, searching from the last pair back; MY_NOT_FOUND if absent.
    uint32_t FindInBucket(uint32_t uBucket, uint32_t uKey) const;
    uint32_t& EntriesIn(uint32_t uBucket) const { return m_puTable[uBucket]; }
    uint32_t& SlotsIn(uint32_t uBucket) const { return m_puTable[m_uTableSize + uBucket]; }

    uint32_t m_uCount = 0;
    uint32_t m_uBucketGrowBy = 1;
    uint32_t m_uTableSize = 0;
    // First half: entries in each bucket; second half: slots allocated for each bucket.
    uint32_t* m_puTable = nullptr;
    Pair** m_ppBuckets = nullptr;
};

// Splits a text at any of a set of delimiter characters; empty tokens are dropped.
class CStringTokenizer : public CSeed
{
public:
    CStringTokenizer(const CMyString& strText, const CMyString& strDelimiters);
    CStringTokenizer(const CStringTokenizer&) = delete;
    CStringTokenizer& operator=(const CStringTokenizer&) = delete;
    ~CStringTokenizer() override;

    uint32_t GetCount() const { return m_arrTokens.GetCount(); }
    bool GetToken(uint32_t uIndex, CMyString& strToken);
    bool GetNextToken(CMyString& strToken);
    bool IsDelimiter(char c) const;

private:
    CMyString m_strDelimiters;
    CArrayPtr m_arrTokens{10};
    uint32_t m_uCurrent = 0;
    CMapPtr m_mapDelimiters;
};
