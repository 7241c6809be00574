#include "text/ArrayString.h"

#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// An element that records its destruction, so tests can see who deletes what.
struct CCounted : CSeed
{
    CCounted(int nId, int* pDeleted) : m_nId(nId), m_pDeleted(pDeleted) {}
    ~CCounted() override { ++*m_pDeleted; }
    int m_nId;
    int* m_pDeleted;
};

int IdOf(CSeed* pSeed)
{
    return pSeed == nullptr ? -1 : static_cast<CCounted*>(pSeed)->m_nId;
}

std::vector<int> IdsOf(const CArrayPtr& arr)
{
    std::vector<int> vIds;
    for (uint32_t u = 0; u < arr.GetCount(); ++u)
        vIds.push_back(IdOf(arr.GetAt(u)));
    return vIds;
}

// The values of a map in iteration order.
std::vector<int> IterationOrder(const CMapPtr& map)
{
    std::vector<int> vIds;
    CMapPtr::Position position;
    map.GetStartPosition(position);
    CSeed* pValue = nullptr;
    while (map.GetNext(position, pValue) && vIds.size() < 100)
        vIds.push_back(IdOf(pValue));
    return vIds;
}
} // namespace

TEST(ArrayPtrTest, GrowsByRequestPlusGrowBy)
{
    int nDeleted = 0;
    CArrayPtr arr(10);
    std::vector<uint32_t> vCapacities;
    for (int i = 0; i < 32; ++i)
    {
        EXPECT_EQ(arr.Add(new CCounted(i, &nDeleted)), static_cast<uint32_t>(i));
        vCapacities.push_back(arr.GetMaxCount());
    }
    // Old capacity + the count asked for + grow-by, each time the capacity is reached.
    EXPECT_EQ(vCapacities[9], 11u);
    EXPECT_EQ(vCapacities[10], 32u);
    EXPECT_EQ(vCapacities[31], 74u);
    EXPECT_EQ(IdOf(arr.GetAt(31)), 31); // the elements survived each move
    arr.RemoveAll();
    EXPECT_EQ(arr.GetMaxCount(), 74u); // never shrinks
    arr.SetGrowBy(500);
    for (int i = 0; i < 74; ++i) // the 74th element reaches the capacity
        arr.Add(nullptr);
    EXPECT_EQ(arr.GetMaxCount(), 74u + 74u + 500u);
}

TEST(ArrayPtrTest, InsertSwapSetRemoveNeverDelete)
{
    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted), c(2, &nDeleted), d(3, &nDeleted);
    {
        CArrayPtr arr(10);
        arr.InsertAt(0, &b);
        arr.InsertAt(1, &d); // at the count: appends
        arr.InsertAt(0, &a); // at 0: shifts everything
        arr.InsertAt(2, &c);
        arr.Swap(0, 3);
        EXPECT_EQ(arr.SetAt(1, &a), &b);
        EXPECT_EQ(arr.RemoveAt(0), &d);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{0, 2, 0}));
        EXPECT_EQ(arr.GetAtOrNull(3), nullptr);
        arr.RemoveRange(1, 100, false); // clipped to the end, nothing deleted
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{0}));
    } // the destructor frees only the block
    EXPECT_EQ(nDeleted, 0);
    CArrayPtr arr(10);
    for (int i = 0; i < 6; ++i)
        arr.Add(i == 2 ? nullptr : new CCounted(i, &nDeleted));
    arr.RemoveRange(1, 3, true); // 1, the null and 3
    EXPECT_EQ(nDeleted, 2);
    EXPECT_EQ(IdsOf(arr), (std::vector<int>{0, 4, 5}));
    arr.RemoveAll();
    EXPECT_EQ(nDeleted, 5);
}

TEST(ArrayStringTest, HoldsCopies)
{
    CArrayString arr;
    CMyString str("one");
    arr.Add(str);
    str = "changed";
    arr.InsertAt(0, CMyString());
    arr.GetAt(1).SetAt(0, 'X'); // a copy: the element stays
    EXPECT_EQ(Text(arr.SetAt(1, CMyString("two"))), "one");
    EXPECT_TRUE(arr.RemoveAt(0).IsEmpty());
    ASSERT_EQ(arr.GetCount(), 1u);
    EXPECT_EQ(Text(arr.GetAt(0)), "two");
}

TEST(MapPtrTest, KeysValuesAndIterationOrder)
{
    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted), d(3, &nDeleted);
    CMapPtr map;
    map.InitHashTable(3);
    for (uint32_t uKey : {0u, 3u, 6u, 9u}) // all in bucket 0, which grows pair by pair
        map.SetAt(uKey, uKey == 3 ? &b : &d);
    map.SetAt(6u, &a); // same key: replaced, not added
    EXPECT_EQ(map.RemoveKey(12u), nullptr);
    EXPECT_EQ(map.RemoveKey(3u), &b);
    CSeed* pValue = nullptr;
    map.SetAt(4u, nullptr);
    EXPECT_TRUE(map.Lookup(4u, pValue)); // present with a null value
    EXPECT_EQ(pValue, nullptr);
    // Buckets in ascending order, each in insertion order; the removed key's gap is closed.
    map.SetAt(2u, &b);
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{3, 0, 3, -1, 1}));
    map.RemoveAll(false);
    map.InitHashTable(5); // allowed again after RemoveAll
    for (int nKey : {6, 1, 0})
        map.SetAt(static_cast<uint32_t>(nKey), new CCounted(nKey, &nDeleted));
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{0, 6, 1}));
    delete map.RemoveKey(0u); // bucket 0 keeps its room but holds no pair
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{6, 1}));
    map.RemoveAll(true);
    EXPECT_EQ(nDeleted, 3);
}

TEST(MapPtrTest, StringKeysAreTheirHashes)
{
    EXPECT_EQ(HashKey(CMyString("a\xE9")), 97u * 33u - 23u); // bytes are signed
    // 'A' * 33 + 'b' == 'B' * 33 + 'A': only the hash is stored, so these are the same key.
    CSeed a, b;
    CMapPtr map;
    map.InitHashTable(17);
    map.SetAt(CMyString("Ab"), &a);
    map.SetAt(CMyString("BA"), &b);
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(map.Lookup(CMyString("Ab")), &b);
}

TEST(StringTokenizerTest, SplitsAtDelimiters)
{
    CStringTokenizer tokenizer(CMyString(",a,,b,"), CMyString(","));
    CMyString strFirst, strSecond, strToken;
    EXPECT_TRUE(tokenizer.GetNextToken(strFirst) && tokenizer.GetNextToken(strSecond));
    EXPECT_EQ(Text(strFirst) + "|" + Text(strSecond), "a|b");
    EXPECT_FALSE(tokenizer.GetNextToken(strToken));
    CStringTokenizer several(CMyString("one two;;three\xE9z"), CMyString(" ;\xE9"));
    EXPECT_TRUE(several.GetToken(3, strToken));
    EXPECT_EQ(Text(strToken), "z");
    EXPECT_FALSE(several.GetToken(4, strToken));
    EXPECT_TRUE(several.IsDelimiter('\xE9'));
    CStringTokenizer noDelimiters(CMyString("a,b c"), CMyString());
    EXPECT_EQ(noDelimiters.GetCount(), 1u);
    EXPECT_FALSE(noDelimiters.IsDelimiter('\0'));
}

TEST(ArrayStringDeathTest, PreconditionsAreReported)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    const auto Report = [](const char* pszCondition)
    { return AssertionReport(pszCondition, "ArrayString"); };
    CArrayPtr arr(10);
    arr.Add(nullptr);
    arr.Add(nullptr);
    EXPECT_DEATH(arr.GetAt(2), Report("uIndex < m_uCount"));
    EXPECT_DEATH(arr.SetAt(2, nullptr), Report("uIndex < m_uCount"));
    EXPECT_DEATH(arr.RemoveAt(2), Report("uIndex < m_uCount"));
    EXPECT_DEATH(arr.InsertAt(3, nullptr), Report("uIndex <= m_uCount"));
    EXPECT_DEATH(arr.Swap(2, 0), Report("uIndex1 < m_uCount"));
    EXPECT_DEATH(arr.Swap(0, 2), Report("uIndex2 < m_uCount"));
    EXPECT_DEATH(arr.RemoveRange(2, 1, false), Report("uStart < m_uCount"));
    EXPECT_DEATH(arr.SetGrowBy(0), Report("(uGrowBy < 0xff000000) && (uGrowBy > 0)"));
    EXPECT_DEATH(arr.SetGrowBy(0xff000000u), Report("(uGrowBy < 0xff000000) && (uGrowBy > 0)"));
    EXPECT_DEATH(CArrayString().GetAt(0), Report("uIndex < m_uCount"));
    CMapPtr map;
    CSeed* pValue = nullptr;
    CMapPtr::Position position;
    EXPECT_DEATH(map.SetAt(1u, nullptr), Report("m_puTable != NULL"));
    EXPECT_DEATH(map.Lookup(1u, pValue), Report("m_puTable != NULL"));
    EXPECT_DEATH(map.RemoveKey(1u), Report("m_puTable != NULL"));
    EXPECT_DEATH(map.GetStartPosition(position), Report("m_puTable != NULL"));
    EXPECT_DEATH(map.GetNext(position, pValue), Report("m_puTable != NULL"));
    EXPECT_DEATH(map.InitHashTable(0), Report("uTableSize > 0"));
    map.InitHashTable(3);
    EXPECT_DEATH(map.InitHashTable(3), Report("m_puTable == NULL"));
}
