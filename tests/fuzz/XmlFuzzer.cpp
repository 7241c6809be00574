// Feeds arbitrary text to the settings-file reader, then walks whatever tree it built with the
// lookups the settings readers use, and loads the same text a second time over the first tree.

#include "FuzzCheck.h"
#include "text/ArrayString.h"
#include "text/MyXmlDom.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace
{

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
        const CMyString strName = pNode->GetName();
        Check(uDepth <= CMyXmlDom::MAX_ELEMENT_DEPTH && !strName.IsEmpty());
        Check(strName.GetLength() == __builtin_strlen(strName.GetBuffer()));
        strSummary += "<" + Str(strName) + ">" + Str(pNode->GetValue());

        const int32_t nCount = pNode->GetChildCount();
        Check(nCount >= 0 && pNode->GetChild(-1) == nullptr && pNode->GetChild(nCount) == nullptr);
        if (nCount == 0) // a childless node finds nothing, whatever the name
            Check(pNode->FindChild(strName) == nullptr);
        std::vector<uint32_t> hashes;
        for (int32_t i = 0; i < nCount; ++i)
        {
            CMyString strLower = pNode->GetChild(i)->GetName();
            strLower.MakeLower();
            hashes.push_back(HashKey(strLower));
        }
        for (int32_t i = 0; i < nCount; ++i)
        {
            // The child found by a name is the last whose lower-cased name has the same key.
            int32_t nLast = i;
            for (int32_t j = i + 1; j < nCount; ++j)
            {
                if (hashes[static_cast<size_t>(j)] == hashes[static_cast<size_t>(i)])
                    nLast = j;
            }
            const CXmlNode* pChild = pNode->GetChild(i);
            const CXmlNode* pFound = pNode->GetChild(nLast);
            Check(pNode->FindChild(pChild->GetName()) == pFound);
            Check(pNode->GetChildValue(pChild->GetName()).IsEqual(pFound->GetValue()));
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
    if (!bFirst)
        Check(dom.GetRoot() == pOld && dom.GetRoot()->GetChildValue("keep").IsEqual("1"));
    const std::string strFirst = bFirst ? WalkTree(dom.GetRoot()) : std::string();

    // Loading the same text over the tree just built gives the same outcome and the same tree.
    Check(dom.LoadXml(strText) == bFirst && dom.GetRoot() != nullptr);
    if (bFirst)
        Check(WalkTree(dom.GetRoot()) == strFirst);
    return 0;
}
