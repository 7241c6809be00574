#include "text/ArrayString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// An element that records its destruction, so tests can see who deletes what.
class CCounted : public CSeed
{
public:
    CCounted(int nId, int* pDeleted) : m_nId(nId), m_pDeleted(pDeleted) {}
    ~CCounted() override { ++*m_pDeleted; }
    int m_nId;

private:
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

std::string Text(const CMyString& str)
{
    return str.GetBuffer() == nullptr ? std::string() : std::string(str.GetBuffer());
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

std::string AssertionReport(const char* pszCondition)
{
    std::string strPattern = "Assertion failed: ";
    for (const char* p = pszCondition; *p != '\0'; ++p)
    {
        if (std::strchr("\\^$.|?*+()[]{}", *p) != nullptr)
            strPattern += '\\';
        strPattern += *p;
    }
    return strPattern + ", file ArrayString, line [0-9]+";
}
} // namespace

TEST(ArrayPtrTest, GrowsByRequestPlusGrowBy)
{
    int nDeleted = 0;
    CArrayPtr arr(10);
    EXPECT_EQ(arr.GetMaxCount(), 0u);
    std::vector<uint32_t> vCapacities;
    for (int i = 0; i < 32; ++i)
    {
        EXPECT_EQ(arr.Add(new CCounted(i, &nDeleted)), static_cast<uint32_t>(i));
        vCapacities.push_back(arr.GetMaxCount());
    }
    EXPECT_EQ(vCapacities[0], 11u);
    EXPECT_EQ(vCapacities[9], 11u);
    EXPECT_EQ(vCapacities[10], 32u);
    EXPECT_EQ(vCapacities[30], 32u);
    EXPECT_EQ(vCapacities[31], 74u);
    EXPECT_EQ(IdOf(arr.GetAt(0)), 0);
    EXPECT_EQ(IdOf(arr.GetAt(31)), 31); // the elements survived each move

    arr.RemoveAll();
    EXPECT_EQ(nDeleted, 32);
    EXPECT_EQ(arr.GetMaxCount(), 74u); // never shrinks

    CArrayPtr arrTree(10);
    arrTree.SetGrowBy(500);
    arrTree.Add(nullptr);
    EXPECT_EQ(arrTree.GetMaxCount(), 501u);
}

TEST(ArrayPtrTest, InsertSwapSetAndRemove)
{
    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted), c(2, &nDeleted), d(3, &nDeleted);
    {
        CArrayPtr arr(10);
        arr.InsertAt(0, &b);
        arr.InsertAt(1, &d); // at the count: appends
        arr.InsertAt(0, &a); // at 0: shifts everything
        arr.InsertAt(2, &c);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{0, 1, 2, 3}));

        arr.Swap(0, 3);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{3, 1, 2, 0}));
        EXPECT_EQ(arr.SetAt(1, &a), &b);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{3, 0, 2, 0}));
        EXPECT_EQ(arr.RemoveAt(0), &d);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{0, 2, 0}));
        EXPECT_EQ(arr.GetAtOrNull(2), &a);
        EXPECT_EQ(arr.GetAtOrNull(3), nullptr);
        EXPECT_EQ(arr.GetAtOrNull(0xFFFFFFFFu), nullptr);
    } // the destructor frees only the block
    EXPECT_EQ(nDeleted, 0);
}

TEST(ArrayPtrTest, RemoveRangeDeletesOnlyWhenAsked)
{
    int nDeleted = 0;
    std::vector<CCounted*> vKept;
    {
        CArrayPtr arr(10);
        for (int i = 0; i < 5; ++i)
        {
            vKept.push_back(new CCounted(i, &nDeleted));
            arr.Add(vKept.back());
        }
        arr.RemoveRange(1, 100, false);
        EXPECT_EQ(IdsOf(arr), (std::vector<int>{0}));
        EXPECT_EQ(nDeleted, 0);
    }
    for (CCounted* pElement : vKept)
        delete pElement;
    EXPECT_EQ(nDeleted, 5);

    nDeleted = 0;
    CArrayPtr arr(10);
    for (int i = 0; i < 6; ++i)
        arr.Add(i == 2 ? nullptr : new CCounted(i, &nDeleted));
    arr.RemoveRange(1, 3, true); // 1, the null and 3
    EXPECT_EQ(nDeleted, 2);
    EXPECT_EQ(IdsOf(arr), (std::vector<int>{0, 4, 5}));
    arr.Add(nullptr);
    arr.RemoveAll(); // deletes each non-null element
    EXPECT_EQ(nDeleted, 5);
    EXPECT_EQ(arr.GetCount(), 0u);
}

TEST(ArrayStringTest, HoldsCopies)
{
    CArrayString arr;
    CMyString str("one");
    EXPECT_EQ(arr.Add(str), 0u);
    str = "changed";
    EXPECT_EQ(Text(arr.GetAt(0)), "one");
    arr.Add(CMyString("three"));
    arr.InsertAt(1, CMyString("two"));
    arr.InsertAt(3, CMyString("four"));
    arr.InsertAt(0, CMyString("zero"));
    ASSERT_EQ(arr.GetCount(), 5u);
    const char* apszExpected[] = {"zero", "one", "two", "three", "four"};
    for (uint32_t u = 0; u < 5; ++u)
        EXPECT_EQ(Text(arr.GetAt(u)), apszExpected[u]);

    CMyString strGot = arr.GetAt(2);
    strGot.SetAt(0, 'X'); // a copy: the element stays
    EXPECT_EQ(Text(arr.GetAt(2)), "two");

    EXPECT_EQ(Text(arr.SetAt(2, CMyString("TWO"))), "two");
    EXPECT_EQ(Text(arr.GetAt(2)), "TWO");
    EXPECT_TRUE(arr.RemoveAt(0).IsEmpty());
    EXPECT_EQ(arr.GetCount(), 4u);
    EXPECT_EQ(Text(arr.GetAt(0)), "one");
    arr.Add(CMyString());
    EXPECT_TRUE(arr.GetAt(4).IsEmpty());
    arr.RemoveAll();
    EXPECT_EQ(arr.GetCount(), 0u);
}

TEST(MapPtrTest, HashKey)
{
    EXPECT_EQ(HashKey(CMyString()), 0u);
    EXPECT_EQ(HashKey(CMyString("ab")), 97u * 33u + 98u);
    EXPECT_EQ(HashKey(CMyString("\xE9")), static_cast<uint32_t>(-23)); // bytes are signed
    EXPECT_EQ(HashKey(CMyString("a\xE9")), 97u * 33u - 23u);
    EXPECT_EQ(HashKey(CMyString("zzzzzzz")), 3569023894u); // wraps around in 32 bits
}

TEST(MapPtrTest, KeysValuesAndRemoval)
{
    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted), c(2, &nDeleted), d(3, &nDeleted);
    CMapPtr map;
    map.InitHashTable(3);
    EXPECT_EQ(map.GetHashTableSize(), 3u);
    for (uint32_t uKey : {0u, 3u, 6u, 9u}) // all in bucket 0
        map.SetAt(uKey, uKey == 0 ? &a : uKey == 3 ? &b : uKey == 6 ? &c : &d);
    map.SetAt(6u, &a); // same key: replaced, not added
    EXPECT_EQ(map.GetCount(), 4u);
    EXPECT_EQ(map.Lookup(6u), &a);

    CSeed* pValue = &d;
    EXPECT_FALSE(map.Lookup(12u, pValue));
    EXPECT_EQ(map.Lookup(12u), nullptr);
    EXPECT_EQ(map.RemoveKey(12u), nullptr);
    EXPECT_EQ(map.RemoveKey(3u), &b);
    EXPECT_EQ(map.GetCount(), 3u);
    EXPECT_EQ(map.Lookup(3u), nullptr);
    EXPECT_EQ(map.Lookup(0u), &a);
    EXPECT_TRUE(map.Lookup(9u, pValue));
    EXPECT_EQ(pValue, &d);
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{0, 0, 3})); // the gap is closed

    map.SetAt(4u, nullptr);
    pValue = &d;
    EXPECT_TRUE(map.Lookup(4u, pValue)); // present with a null value
    EXPECT_EQ(pValue, nullptr);
    EXPECT_EQ(map.Lookup(4u), nullptr);

    // Many keys in few buckets: each bucket grows one pair at a time.
    CMapPtr mapMany;
    mapMany.InitHashTable(7);
    for (uint32_t u = 0; u < 200; ++u)
        mapMany.SetAt(u * 13u, u % 2 == 0 ? &a : &b);
    EXPECT_EQ(mapMany.GetCount(), 200u);
    for (uint32_t u = 0; u < 200; ++u)
        EXPECT_EQ(mapMany.Lookup(u * 13u), u % 2 == 0 ? &a : &b);
    mapMany.RemoveAll(false);
    EXPECT_EQ(nDeleted, 0);
}

TEST(MapPtrTest, StringKeysAreHashes)
{
    // Find two different two-character strings with the same hash.
    std::string strFirst, strSecond;
    for (int i = 0; i < 26 * 26 && strSecond.empty(); ++i)
        for (int j = i + 1; j < 26 * 26 && strSecond.empty(); ++j)
        {
            const std::string strA{static_cast<char>('A' + i / 26),
                                   static_cast<char>('a' + i % 26)};
            const std::string strB{static_cast<char>('A' + j / 26),
                                   static_cast<char>('A' + j % 26)};
            if (HashKey(CMyString(strA.c_str())) == HashKey(CMyString(strB.c_str())))
            {
                strFirst = strA;
                strSecond = strB;
            }
        }
    ASSERT_FALSE(strSecond.empty());

    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted);
    CMapPtr map;
    map.InitHashTable(17);
    map.SetAt(CMyString(strFirst.c_str()), &a);
    map.SetAt(CMyString(strSecond.c_str()), &b);
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(map.Lookup(CMyString(strFirst.c_str())), &b);
    EXPECT_EQ(map.Lookup(HashKey(CMyString(strSecond.c_str()))), &b);
    CSeed* pValue = nullptr;
    EXPECT_FALSE(map.Lookup(CMyString("other"), pValue));
    EXPECT_EQ(map.RemoveKey(CMyString(strFirst.c_str())), &b);
    EXPECT_EQ(map.GetCount(), 0u);
}

TEST(MapPtrTest, IterationAndRemoveAll)
{
    int nDeleted = 0;
    CMapPtr map;
    map.InitHashTable(3);
    EXPECT_TRUE(IterationOrder(map).empty());

    // Keys 5 (bucket 2), 1 and 4 (bucket 1), 0 and 3 (bucket 0); the value ids are the keys.
    for (int nKey : {5, 1, 4, 0, 3})
        map.SetAt(static_cast<uint32_t>(nKey), new CCounted(nKey, &nDeleted));
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{0, 3, 1, 4, 5}));

    map.SetAt(7u, nullptr);
    map.RemoveAll(true);
    EXPECT_EQ(nDeleted, 5);
    EXPECT_EQ(map.GetCount(), 0u);
    EXPECT_EQ(map.GetHashTableSize(), 0u);

    map.InitHashTable(5); // allowed again after RemoveAll
    CCounted kept(9, &nDeleted);
    map.SetAt(2u, &kept);
    EXPECT_EQ(IterationOrder(map), (std::vector<int>{9}));
    map.RemoveKey(2u);
    EXPECT_TRUE(IterationOrder(map).empty()); // a table whose buckets all emptied again
}

TEST(StringTokenizerTest, SplitsAtDelimiters)
{
    CStringTokenizer tokenizer(CMyString(",a,,b,"), CMyString(","));
    ASSERT_EQ(tokenizer.GetCount(), 2u);
    CMyString strToken;
    EXPECT_TRUE(tokenizer.GetNextToken(strToken));
    EXPECT_EQ(Text(strToken), "a");
    EXPECT_TRUE(tokenizer.GetNextToken(strToken));
    EXPECT_EQ(Text(strToken), "b");
    EXPECT_FALSE(tokenizer.GetNextToken(strToken));

    CStringTokenizer several(CMyString("one two;;three\xE9"
                                       "four"),
                             CMyString(" ;\xE9"));
    ASSERT_EQ(several.GetCount(), 4u);
    EXPECT_TRUE(several.GetToken(2, strToken));
    EXPECT_EQ(Text(strToken), "three");
    EXPECT_TRUE(several.GetNextToken(strToken));
    EXPECT_EQ(Text(strToken), "four");
    EXPECT_FALSE(several.GetNextToken(strToken));
    EXPECT_FALSE(several.GetToken(4, strToken));
    EXPECT_TRUE(several.GetToken(0, strToken));
    EXPECT_EQ(Text(strToken), "one");
    EXPECT_TRUE(several.IsDelimiter(';'));
    EXPECT_TRUE(several.IsDelimiter('\xE9'));
    EXPECT_FALSE(several.IsDelimiter('o'));

    CStringTokenizer noDelimiters(CMyString("a,b c"), CMyString());
    EXPECT_EQ(noDelimiters.GetCount(), 1u);
    EXPECT_FALSE(noDelimiters.IsDelimiter(','));
    EXPECT_FALSE(noDelimiters.IsDelimiter('\0'));
    EXPECT_EQ(CStringTokenizer(CMyString(), CMyString(",")).GetCount(), 0u);
    EXPECT_EQ(CStringTokenizer(CMyString(",,,"), CMyString(",")).GetCount(), 0u);
}

TEST(ArrayStringDeathTest, ArrayPreconditions)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    CArrayPtr arr(10);
    arr.Add(nullptr);
    arr.Add(nullptr);
    EXPECT_DEATH(arr.GetAt(2), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(arr.SetAt(2, nullptr), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(arr.RemoveAt(2), AssertionReport("uIndex < m_uCount"));
    EXPECT_DEATH(arr.InsertAt(3, nullptr), AssertionReport("uIndex <= m_uCount"));
    EXPECT_DEATH(arr.Swap(2, 0), AssertionReport("uIndex1 < m_uCount"));
    EXPECT_DEATH(arr.Swap(0, 2), AssertionReport("uIndex2 < m_uCount"));
    EXPECT_DEATH(arr.RemoveRange(2, 1, false), AssertionReport("uStart < m_uCount"));
    EXPECT_DEATH(arr.SetGrowBy(0), AssertionReport("(uGrowBy < 0xff000000) && (uGrowBy > 0)"));
    EXPECT_DEATH(arr.SetGrowBy(0xff000000u),
                 AssertionReport("(uGrowBy < 0xff000000) && (uGrowBy > 0)"));
    CArrayString arrStrings;
    EXPECT_DEATH(arrStrings.GetAt(0), AssertionReport("uIndex < m_uCount"));
}

TEST(ArrayStringDeathTest, MapPreconditions)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    CMapPtr map;
    CSeed* pValue = nullptr;
    CMapPtr::Position position;
    EXPECT_DEATH(map.SetAt(1u, nullptr), AssertionReport("m_puTable != NULL"));
    EXPECT_DEATH(map.Lookup(1u, pValue), AssertionReport("m_puTable != NULL"));
    EXPECT_DEATH(map.RemoveKey(1u), AssertionReport("m_puTable != NULL"));
    EXPECT_DEATH(map.GetStartPosition(position), AssertionReport("m_puTable != NULL"));
    EXPECT_DEATH(map.GetNext(position, pValue), AssertionReport("m_puTable != NULL"));
    map.InitHashTable(3);
    EXPECT_DEATH(map.InitHashTable(3), AssertionReport("m_puTable == NULL"));
}
