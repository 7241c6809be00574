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
} // namespace

TEST(ArrayPtrTest, GrowsByRequestPlusGrowByAndOwnsOnlyWhatItIsToldTo)
{
    int nDeleted = 0;
    CArrayPtr arr(10);
    std::vector<uint32_t> vCapacities;
    for (int i = 0; i < 32; ++i)
    {
        arr.Add(i == 2 ? nullptr : new CCounted(i, &nDeleted));
        vCapacities.push_back(arr.GetMaxCount());
    }
    // Old capacity + the count asked for + grow-by, each time the capacity is reached.
    EXPECT_EQ(vCapacities[9], 11u);
    EXPECT_EQ(vCapacities[10], 32u);
    EXPECT_EQ(vCapacities[31], 74u);
    EXPECT_EQ(IdOf(arr.GetAt(31)), 31); // the elements survived each move
    EXPECT_EQ(arr.GetAtOrNull(32), nullptr);
    arr.RemoveAll(); // deletes the elements, skipping the null
    EXPECT_EQ(nDeleted, 31);

    CCounted kept(0, &nDeleted);
    {
        CArrayPtr arrBorrowed(10);
        arrBorrowed.Add(&kept);
        EXPECT_EQ(arrBorrowed.RemoveAt(0), &kept);
        arrBorrowed.Add(&kept);
    } // the destructor frees only the block
    EXPECT_EQ(nDeleted, 31);
    CArrayString arrStrings; // holds copies
    CMyString str("one");
    arrStrings.Add(str);
    arrStrings.Add(str);
    str = "changed";
    arrStrings.GetAt(0).SetAt(0, 'X');
    EXPECT_EQ(Text(arrStrings.SetAt(0, CMyString("two"))), "one");
    EXPECT_TRUE(arrStrings.RemoveAt(0).IsEmpty());
    EXPECT_EQ(Text(arrStrings.GetAt(0)), "one");
}

TEST(MapPtrTest, KeysValuesAndOwnership)
{
    int nDeleted = 0;
    CCounted a(0, &nDeleted), b(1, &nDeleted);
    CMapPtr map;
    map.InitHashTable(3);
    for (uint32_t uKey : {0u, 3u, 6u, 9u}) // all in bucket 0, which grows pair by pair
        map.SetAt(uKey, &b);
    map.SetAt(6u, &a); // same key: replaced, not added
    EXPECT_EQ(map.GetCount(), 4u);
    EXPECT_EQ(map.Lookup(6u), &a);
    EXPECT_EQ(map.Lookup(12u), nullptr);
    CSeed* pValue = &a;
    map.SetAt(4u, nullptr);
    EXPECT_TRUE(map.Lookup(4u, pValue)); // present with a null value
    EXPECT_EQ(pValue, nullptr);
    map.RemoveAll(false);
    map.InitHashTable(5); // allowed again after RemoveAll
    for (int nKey : {6, 1, 0})
        map.SetAt(static_cast<uint32_t>(nKey), new CCounted(nKey, &nDeleted));
    map.RemoveAll(true);
    EXPECT_EQ(nDeleted, 3);
    // Only the hash of a string key is stored: "Ab" and "BA" hash alike ('A' * 33 + 'b' ==
    // 'B' * 33 + 'A'), so they are the same key. The bytes count as signed.
    EXPECT_EQ(HashKey(CMyString("a\xE9")), 97u * 33u - 23u);
    map.InitHashTable(17);
    map.SetAt(CMyString("Ab"), &a);
    map.SetAt(CMyString("BA"), &b);
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(map.Lookup(CMyString("Ab")), &b);
}
