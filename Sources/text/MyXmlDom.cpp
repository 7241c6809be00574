#include "text/MyXmlDom.h"

#include "config/FileHandler.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace
{
// The children-by-name index of a node has this many buckets.
constexpr uint32_t kChildBuckets = 10;

CMyString ToString(std::string_view text)
{
    return CMyString(text.data(), static_cast<uint32_t>(text.size()));
}

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

// ---------------------------------------------------------------------------------------------
// CXmlNode

CXmlNode::CXmlNode(CMyString strName) : m_strName(std::move(strName)) {}

CXmlNode::~CXmlNode()
{
    // The index holds the same pointers as the children array; delete each once.
    m_arrChildren.RemoveAll();
    m_mapChildren.RemoveAll(false);
}

int32_t CXmlNode::GetChildCount() const
{
    return static_cast<int32_t>(m_arrChildren.GetCount());
}

CXmlNode* CXmlNode::GetChild(int32_t nIndex) const
{
    if (nIndex < 0)
        return nullptr;
    return static_cast<CXmlNode*>(m_arrChildren.GetAtOrNull(static_cast<uint32_t>(nIndex)));
}

CXmlNode* CXmlNode::FindChild(const CMyString& strName) const
{
    // A node without children has no index.
    if (m_mapChildren.GetHashTableSize() == 0)
        return nullptr;
    return static_cast<CXmlNode*>(m_mapChildren.Lookup(HashKeyNoCase(strName)));
}

CMyString CXmlNode::GetChildValue(const CMyString& strName) const
{
    const CXmlNode* pChild = FindChild(strName);
    return pChild != nullptr ? pChild->m_strValue : CMyString();
}

void CXmlNode::AddChild(CXmlNode* pChild)
{
    // The index is made with the first child, so the many leaf elements of a list cost nothing.
    if (m_mapChildren.GetHashTableSize() == 0)
        m_mapChildren.InitHashTable(kChildBuckets);
    m_arrChildren.Add(pChild);
    // A later child of the same name replaces the earlier one in the index.
    m_mapChildren.SetAt(HashKeyNoCase(pChild->m_strName), pChild);
}

// ---------------------------------------------------------------------------------------------
// CXmlParser: the tokenizer and the recursive parser of the accepted subset.

class CXmlParser
{
public:
    explicit CXmlParser(const CMyString& strText)
        : m_pText(strText.GetBuffer()),
          m_uLength(strText.IsEmpty() ? 0 : std::strlen(strText.GetBuffer()))
    {
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

    // The token is a piece of the text; only names and values become strings.
    TokenKind NextToken(std::string_view& token);
    size_t FindFrom(size_t uFrom, char c) const
    {
        const void* pFound = std::memchr(m_pText + uFrom, c, m_uLength - uFrom);
        return pFound != nullptr ? static_cast<size_t>(static_cast<const char*>(pFound) - m_pText)
                                 : m_uLength;
    }

    const char* m_pText;
    size_t m_uLength;
    size_t m_uPosition = 0;
};

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
    std::string_view token;
    for (;;)
    {
        switch (NextToken(token))
        {
        case TokenKind::End:
            return false;

        case TokenKind::EmptyElementTag:
            node.AddChild(new CXmlNode(ToString(token)));
            break;

        case TokenKind::StartTag:
        {
            if (node.m_strName.IsEmpty())
            {
                node.m_strName = ToString(token);
                break;
            }
            // Bounded, so that a hostile document cannot exhaust the stack.
            if (uDepth >= CMyXmlDom::MAX_ELEMENT_DEPTH)
                return false;
            auto pChild = std::make_unique<CXmlNode>(ToString(token));
            if (!ParseNode(*pChild, uDepth + 1))
                return false;
            node.AddChild(pChild.release());
            break;
        }

        case TokenKind::Text:
            node.m_strValue = ToString(token);
            node.m_strValue.DecodeXmlEntities();
            break;

        case TokenKind::EndTag:
            return !node.m_strName.IsEmpty() &&
                   IsEqualNoCaseAscii(token, node.m_strName.GetBuffer());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// CMyXmlDom

CMyXmlDom::~CMyXmlDom()
{
    delete m_pRoot;
}

bool CMyXmlDom::LoadXml(const CMyString& strText)
{
    if (strText.IsEmpty())
        return false;
    auto pRoot = std::make_unique<CXmlNode>();
    CXmlParser parser(strText);
    if (!parser.ParseNode(*pRoot, 1))
        return false;
    delete m_pRoot;
    m_pRoot = pRoot.release();
    return true;
}

bool CMyXmlDom::LoadFile(const CMyString& strPath)
{
    CMyString strText;
    if (!CFileHandler().ReadTextFile(strPath, strText))
        return false;
    return LoadXml(strText);
}
