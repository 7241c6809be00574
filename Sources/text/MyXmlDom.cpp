#include "text/MyXmlDom.h"

#include "config/FileHandler.h"
#include "text/ArrayString.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace
{
bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

// ---------------------------------------------------------------------------------------------
// CXmlArena: the memory of one tree. A large list has hundreds of thousands of elements; taking
// their nodes, names, values and child tables from a few big blocks instead of one allocation
// each makes both reading and freeing the tree cheap.

class CXmlArena
{
public:
    CXmlArena() = default;
    CXmlArena(const CXmlArena&) = delete;
    CXmlArena& operator=(const CXmlArena&) = delete;

    void* Allocate(size_t uSize, size_t uAlign)
    {
        size_t uOffset = (m_uUsed + uAlign - 1) & ~(uAlign - 1);
        if (m_blocks.empty() || uOffset + uSize > m_uBlockSize)
        {
            // Blocks grow with the document, so a small settings file takes one small block.
            m_uBlockSize = std::max(std::min(m_uBlockSize * 2, kMaxBlock), uSize);
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_uBlockSize));
            uOffset = 0;
        }
        m_uUsed = uOffset + uSize;
        return m_blocks.back().get() + uOffset;
    }

    // A NUL-terminated copy of the text.
    const char* Keep(std::string_view text)
    {
        char* pCopy = static_cast<char*>(Allocate(text.size() + 1, 1));
        std::memcpy(pCopy, text.data(), text.size());
        pCopy[text.size()] = 0;
        return pCopy;
    }

private:
    static constexpr size_t kMaxBlock = size_t{1} << 20;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_uBlockSize = 1024;
    size_t m_uUsed = 0;
};

// ---------------------------------------------------------------------------------------------
// CXmlNode

bool CXmlNode::IsNamed(std::string_view name) const
{
    return IsEqualNoCaseAscii(GetNameView(), name);
}

CXmlNode* CXmlNode::GetChild(int32_t nIndex) const
{
    if (nIndex < 0 || static_cast<uint32_t>(nIndex) >= m_uChildCount)
        return nullptr;
    return m_ppChildren[nIndex];
}

CXmlNode* CXmlNode::FindChildByKey(uint32_t uKey) const
{
    // Searching from the end finds the last child of the name, as an index in which a later
    // child replaces an earlier one of the same key would.
    for (uint32_t i = m_uChildCount; i > 0; --i)
    {
        if (m_ppChildren[i - 1]->m_uNameKey == uKey)
            return m_ppChildren[i - 1];
    }
    return nullptr;
}

CXmlNode* CXmlNode::FindChild(const CMyString& strName) const
{
    return m_uChildCount == 0 ? nullptr : FindChildByKey(HashKeyNoCase(strName));
}

CXmlNode* CXmlNode::FindChild(std::string_view name) const
{
    if (m_uChildCount == 0)
        return nullptr;
    return FindChildByKey(HashKeyNoCase(name.data(), static_cast<uint32_t>(name.size())));
}

CMyString CXmlNode::GetChildValue(const CMyString& strName) const
{
    const CXmlNode* pChild = FindChild(strName);
    return pChild != nullptr ? pChild->GetValue() : CMyString();
}

std::string_view CXmlNode::GetChildValueView(std::string_view name) const
{
    const CXmlNode* pChild = FindChild(name);
    return pChild != nullptr ? pChild->GetValueView() : std::string_view();
}

// ---------------------------------------------------------------------------------------------
// CXmlParser: the tokenizer and the recursive parser of the accepted subset.

class CXmlParser
{
public:
    CXmlParser(const CMyString& strText, CXmlArena& arena)
        : m_pText(strText.GetBuffer()),
          m_uLength(strText.IsEmpty() ? 0 : std::strlen(strText.GetBuffer())), m_arena(arena)
    {
    }

    CXmlNode* NewNode()
    {
        return new (m_arena.Allocate(sizeof(CXmlNode), alignof(CXmlNode))) CXmlNode;
    }
    bool ParseNode(CXmlNode& node, uint32_t uDepth);

private:
    enum class TokenKind
    {
        End,
        StartTag,
        EndTag,
        EmptyElementTag,
        Text,
    };

    // The token is a piece of the text; only names and values are copied.
    TokenKind NextToken(std::string_view& token);
    size_t FindFrom(size_t uFrom, char c) const
    {
        const void* pFound = std::memchr(m_pText + uFrom, c, m_uLength - uFrom);
        return pFound != nullptr ? static_cast<size_t>(static_cast<const char*>(pFound) - m_pText)
                                 : m_uLength;
    }
    void SetName(CXmlNode& node, std::string_view name);
    void SetValue(CXmlNode& node, std::string_view text);
    CXmlNode* NewChild(std::string_view name)
    {
        CXmlNode* pNode = NewNode();
        SetName(*pNode, name);
        return pNode;
    }

    const char* m_pText;
    size_t m_uLength;
    size_t m_uPosition = 0;
    CXmlArena& m_arena;
    // The children found so far of every element still open, innermost last; an element that
    // closes moves its own into one table of the arena.
    std::vector<CXmlNode*> m_openChildren;
};

void CXmlParser::SetName(CXmlNode& node, std::string_view name)
{
    node.m_pszName = m_arena.Keep(name);
    node.m_uNameLength = static_cast<uint32_t>(name.size());
    node.m_uNameKey = HashKeyNoCase(name.data(), node.m_uNameLength);
}

void CXmlParser::SetValue(CXmlNode& node, std::string_view text)
{
    if (std::memchr(text.data(), '&', text.size()) == nullptr)
    {
        node.m_pszValue = m_arena.Keep(text);
        node.m_uValueLength = static_cast<uint32_t>(text.size());
        return;
    }
    CMyString strValue(text.data(), static_cast<uint32_t>(text.size()));
    strValue.DecodeXmlEntities();
    node.m_uValueLength = strValue.GetLength();
    node.m_pszValue = m_arena.Keep(
        std::string_view(strValue.IsEmpty() ? "" : strValue.GetBuffer(), strValue.GetLength()));
}

CXmlParser::TokenKind CXmlParser::NextToken(std::string_view& token)
{
    while (m_uPosition < m_uLength && IsXmlSpace(m_pText[m_uPosition]))
        ++m_uPosition;
    if (m_uPosition >= m_uLength)
        return TokenKind::End;

    if (m_pText[m_uPosition] != '<')
    {
        // Text runs up to the next "<"; trailing white space stays part of it.
        const size_t uEnd = FindFrom(m_uPosition, '<');
        if (uEnd >= m_uLength)
            return TokenKind::End;
        token = std::string_view(m_pText + m_uPosition, uEnd - m_uPosition);
        m_uPosition = uEnd;
        return TokenKind::Text;
    }

    if (++m_uPosition >= m_uLength)
        return TokenKind::End;
    TokenKind kind = TokenKind::StartTag;
    if (m_pText[m_uPosition] == '/')
    {
        ++m_uPosition;
        kind = TokenKind::EndTag;
    }
    const size_t uClose = m_uPosition < m_uLength ? FindFrom(m_uPosition, '>') : m_uLength;
    if (uClose >= m_uLength || uClose == m_uPosition)
        return TokenKind::End;
    size_t uTokenLength = uClose - m_uPosition;
    if (kind == TokenKind::StartTag && m_pText[uClose - 1] == '/')
    {
        kind = TokenKind::EmptyElementTag;
        --uTokenLength;
    }
    token = std::string_view(m_pText + m_uPosition, uTokenLength);
    m_uPosition = uClose + 1;
    return kind;
}

bool CXmlParser::ParseNode(CXmlNode& node, uint32_t uDepth)
{
    const size_t uFirstChild = m_openChildren.size();
    std::string_view token;
    for (;;)
    {
        switch (NextToken(token))
        {
        case TokenKind::End:
            return false;

        case TokenKind::EmptyElementTag:
            m_openChildren.push_back(NewChild(token));
            break;

        case TokenKind::StartTag:
        {
            if (node.m_uNameLength == 0)
            {
                SetName(node, token);
                break;
            }
            // Bounded, so that a hostile document cannot exhaust the stack.
            if (uDepth >= CMyXmlDom::MAX_ELEMENT_DEPTH)
                return false;
            CXmlNode* pChild = NewChild(token);
            if (!ParseNode(*pChild, uDepth + 1))
                return false;
            m_openChildren.push_back(pChild);
            break;
        }

        case TokenKind::Text:
            SetValue(node, token);
            break;

        case TokenKind::EndTag:
        {
            if (node.m_uNameLength == 0 || !IsEqualNoCaseAscii(token, node.GetNameView()))
                return false;
            const size_t uCount = m_openChildren.size() - uFirstChild;
            if (uCount > 0)
            {
                auto** ppChildren = static_cast<CXmlNode**>(
                    m_arena.Allocate(uCount * sizeof(CXmlNode*), alignof(CXmlNode*)));
                std::copy(m_openChildren.begin() + static_cast<std::ptrdiff_t>(uFirstChild),
                          m_openChildren.end(), ppChildren);
                node.m_ppChildren = ppChildren;
                node.m_uChildCount = static_cast<uint32_t>(uCount);
                m_openChildren.resize(uFirstChild);
            }
            return true;
        }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// CMyXmlDom

CMyXmlDom::CMyXmlDom() = default;

CMyXmlDom::~CMyXmlDom() = default;

bool CMyXmlDom::LoadXml(const CMyString& strText)
{
    if (strText.IsEmpty())
        return false;
    // The new tree takes memory of its own, so a failed read leaves the old one whole.
    auto pArena = std::make_unique<CXmlArena>();
    CXmlParser parser(strText, *pArena);
    CXmlNode* pRoot = parser.NewNode();
    if (!parser.ParseNode(*pRoot, 1))
        return false;
    m_pArena = std::move(pArena);
    m_pRoot = pRoot;
    return true;
}

bool CMyXmlDom::LoadFile(const CMyString& strPath)
{
    CMyString strText;
    if (!CFileHandler().ReadTextFile(strPath, strText))
        return false;
    return LoadXml(strText);
}
