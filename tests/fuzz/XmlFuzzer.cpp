// Feeds arbitrary text to the settings-file reader, then walks whatever tree it built with the
// lookups the settings readers use, and loads the same text a second time over the first tree.

#include "text/MyXmlDom.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace
{

void Check(bool bCondition)
{
    if (!bCondition)
        __builtin_trap();
}

uint32_t LowerHash(const CMyString& strName)
{
    CMyString strLower(strName);
    strLower.MakeLower();
    return HashKey(strLower);
}

std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}

// Visits every node without recursion and answers a summary of names and values, so that two
// loads of the same text can be compared.
std::string WalkTree(const CXmlNode* pRoot)
{
    std::string strSummary;
    std::vector<std::pair<const CXmlNode*, uint32_t>> stack{{pRoot, 1}};
    while (!stack.empty())
    {
        const auto [pNode, uDepth] = stack.back();
        stack.pop_back();
        Check(uDepth <= CMyXmlDom::MAX_ELEMENT_DEPTH);

        const CMyString strName = pNode->GetName();
        const CMyString strValue = pNode->GetValue();
        Check(!strName.IsEmpty());
        Check(strName.GetLength() == __builtin_strlen(strName.GetBuffer()));
        strSummary += "<" + Str(strName) + ">" + Str(strValue);

        const int32_t nCount = pNode->GetChildCount();
        Check(nCount >= 0);
        Check(pNode->GetChild(-1) == nullptr);
        Check(pNode->GetChild(nCount) == nullptr);
        if (nCount == 0)
        {
            // A childless node finds nothing, whatever the name.
            Check(pNode->FindChild(strName) == nullptr);
            Check(pNode->GetChildValue(strValue).IsEmpty());
        }

        std::vector<uint32_t> hashes;
        for (int32_t i = 0; i < nCount; ++i)
        {
            Check(pNode->GetChild(i) != nullptr);
            hashes.push_back(LowerHash(pNode->GetChild(i)->GetName()));
        }

        for (int32_t i = 0; i < nCount; ++i)
        {
            const CXmlNode* pChild = pNode->GetChild(i);
            const CMyString strChildName = pChild->GetName();
            const uint32_t uHash = hashes[static_cast<size_t>(i)];

            // The entry found is the last child whose lower-cased name has the same key.
            const CXmlNode* pFound = pNode->FindChild(strChildName);
            Check(pFound != nullptr);
            int32_t nLast = -1;
            for (int32_t j = 0; j < nCount; ++j)
            {
                if (hashes[static_cast<size_t>(j)] == uHash)
                    nLast = j;
            }
            Check(nLast >= i && pNode->GetChild(nLast) == pFound);
            Check(pNode->GetChildValue(strChildName).IsEqual(pFound->GetValue()));

            stack.emplace_back(pChild, uDepth + 1);
        }
    }
    return strSummary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize)
{
    // The reader takes NUL-terminated text, so the input ends at its first NUL byte.
    const std::string strBytes(reinterpret_cast<const char*>(pData), uSize);
    const CMyString strText(strBytes.c_str());

    CMyXmlDom dom;
    Check(dom.LoadXml("<OLD><KEEP>1</KEEP></OLD>"));
    CXmlNode* pOld = dom.GetRoot();

    const bool bFirst = dom.LoadXml(strText);
    std::string strFirst;
    if (bFirst)
        strFirst = WalkTree(dom.GetRoot());
    else
        Check(dom.GetRoot() == pOld && dom.GetRoot()->GetChildValue("keep").IsEqual("1"));

    // Loading the same text over the tree just built gives the same outcome and the same tree.
    const bool bSecond = dom.LoadXml(strText);
    Check(bSecond == bFirst);
    Check(dom.GetRoot() != nullptr);
    if (bSecond)
        Check(WalkTree(dom.GetRoot()) == strFirst);
    return 0;
}
