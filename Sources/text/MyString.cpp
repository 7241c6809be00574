#include "text/MyString.h"

#include "text/CodePages.h"
#include "text/MyAssert.h"

#include <QString>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace
{
template <typename Char> uint32_t TextLength(const Char* pText)
{
    return static_cast<uint32_t>(std::basic_string_view<Char>(pText).size());
}

template <typename Char> Char LowerAscii(Char c)
{
    return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// The unsigned value of a character, as the C library compares them.
template <typename Char> uint32_t CodeOf(Char c)
{
    return static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(c));
}

// strcmp on NUL-terminated text, optionally ignoring ASCII case: -1, 0 or 1.
template <typename Char> int CompareText(const Char* pLeft, const Char* pRight, bool bIgnoreCase)
{
    for (;; ++pLeft, ++pRight)
    {
        const Char cLeft = bIgnoreCase ? LowerAscii(*pLeft) : *pLeft;
        const Char cRight = bIgnoreCase ? LowerAscii(*pRight) : *pRight;
        if (cLeft != cRight)
            return CodeOf(cLeft) < CodeOf(cRight) ? -1 : 1;
        if (cLeft == Char(0))
            return 0;
    }
}

// An ASCII literal in the character type of the string.
template <typename Char> std::basic_string<Char> Literal(const char* pszText)
{
    std::basic_string<Char> result;
    for (; *pszText != '\0'; ++pszText)
        result.push_back(static_cast<Char>(*pszText));
    return result;
}

template <typename Char> bool IsPathSeparator(Char c)
{
    return c == Char('/') || c == Char('\\');
}

template <typename Char> bool IsSpace(Char c)
{
    return c == Char(' ') || (c >= Char('\t') && c <= Char('\r'));
}

template <typename Char> bool IsDigit(Char c)
{
    return c >= Char('0') && c <= Char('9');
}

constexpr char kHexDigits[] = "0123456789ABCDEF";
} // namespace

bool IsEqualNoCaseAscii(std::string_view left, std::string_view right)
{
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i)
    {
        if (LowerAscii(left[i]) != LowerAscii(right[i]))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Construction and assignment

template <typename Derived, typename Char>
CMyStringBase<Derived, Char>::CMyStringBase(const Char* pText)
{
    if (pText != nullptr)
        AssignText(pText, TextLength(pText));
}

template <typename Derived, typename Char>
CMyStringBase<Derived, Char>::CMyStringBase(const CMyStringBase& other)
{
    if (!other.IsEmpty())
        AssignText(other.m_pBuffer, TextLength(other.m_pBuffer));
}

template <typename Derived, typename Char>
CMyStringBase<Derived, Char>::CMyStringBase(CMyStringBase&& other) noexcept
    : m_uCount(other.m_uCount), m_uMaxCount(other.m_uMaxCount), m_pBuffer(other.m_pBuffer)
{
    other.m_uCount = other.m_uMaxCount = 0;
    other.m_pBuffer = nullptr;
}

template <typename Derived, typename Char>
CMyStringBase<Derived, Char>& CMyStringBase<Derived, Char>::operator=(const CMyStringBase& other)
{
    if (m_pBuffer == other.m_pBuffer)
        return *this;
    if (other.IsEmpty())
        Empty();
    else
        AssignText(other.m_pBuffer, TextLength(other.m_pBuffer));
    return *this;
}

template <typename Derived, typename Char>
CMyStringBase<Derived, Char>&
CMyStringBase<Derived, Char>::operator=(CMyStringBase&& other) noexcept
{
    if (this != &other)
    {
        std::free(m_pBuffer);
        m_uCount = other.m_uCount;
        m_uMaxCount = other.m_uMaxCount;
        m_pBuffer = other.m_pBuffer;
        other.m_uCount = other.m_uMaxCount = 0;
        other.m_pBuffer = nullptr;
    }
    return *this;
}

template <typename Derived, typename Char> CMyStringBase<Derived, Char>::~CMyStringBase()
{
    std::free(m_pBuffer);
}

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::AssignText(const Char* pText, uint32_t uLength)
{
    Char* pCopy = nullptr;
    if (uLength > 0)
    {
        // A failed allocation leaves the string without buffer.
        pCopy = static_cast<Char*>(std::malloc((size_t{uLength} + 1) * sizeof(Char)));
        if (pCopy != nullptr)
        {
            std::memcpy(pCopy, pText, size_t{uLength} * sizeof(Char));
            pCopy[uLength] = Char(0);
        }
    }
    std::free(m_pBuffer);
    m_pBuffer = pCopy;
    m_uCount = m_uMaxCount = pCopy != nullptr ? uLength : 0;
}

template <typename Derived, typename Char> void CMyStringBase<Derived, Char>::Empty()
{
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_uCount = m_uMaxCount = 0;
}

// ---------------------------------------------------------------------------------------------
// Growth and appending

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::Reserve(uint32_t uCount)
{
    if (uCount < m_uMaxCount || uCount == UINT32_MAX)
        return;
    auto* pBuffer =
        static_cast<Char*>(std::realloc(m_pBuffer, (size_t{uCount} + 1) * sizeof(Char)));
    if (pBuffer == nullptr)
        return;
    if (m_pBuffer == nullptr)
        pBuffer[0] = Char(0);
    m_pBuffer = pBuffer;
    m_uMaxCount = uCount;
}

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::AppendText(const Char* pText, uint32_t uLength)
{
    if (uLength == 0 || uLength > UINT32_MAX - 1 - m_uCount)
        return;
    const uint32_t uNewCount = m_uCount + uLength;
    if (m_pBuffer == nullptr || uNewCount > m_uMaxCount)
    {
        // The text may be a piece of this very string, whose buffer is about to move.
        const bool bFromSelf =
            m_pBuffer != nullptr && pText >= m_pBuffer && pText <= m_pBuffer + m_uMaxCount;
        const size_t uOffset = bFromSelf ? static_cast<size_t>(pText - m_pBuffer) : 0;
        // Exactly the combined length: the capacity never runs ahead of the buffer.
        auto* pBuffer =
            static_cast<Char*>(std::realloc(m_pBuffer, (size_t{uNewCount} + 1) * sizeof(Char)));
        if (pBuffer == nullptr)
            return;
        m_pBuffer = pBuffer;
        m_uMaxCount = uNewCount;
        if (bFromSelf)
            pText = m_pBuffer + uOffset;
    }
    std::memmove(m_pBuffer + m_uCount, pText, size_t{uLength} * sizeof(Char));
    m_uCount = uNewCount;
    m_pBuffer[m_uCount] = Char(0);
}

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::Append(const Char* pText)
{
    if (pText != nullptr)
        AppendText(pText, TextLength(pText));
}

template <typename Derived, typename Char> void CMyStringBase<Derived, Char>::AppendChar(Char c)
{
    Reserve(m_uCount + 1);
    if (m_pBuffer == nullptr || m_uCount + 1 > m_uMaxCount)
        return;
    m_pBuffer[m_uCount++] = c;
    m_pBuffer[m_uCount] = Char(0);
}

template <typename Derived, typename Char>
Derived& CMyStringBase<Derived, Char>::operator+=(const Char* pText)
{
    Append(pText);
    return static_cast<Derived&>(*this);
}

template <typename Derived, typename Char>
Derived& CMyStringBase<Derived, Char>::operator+=(const Derived& other)
{
    Append(other.m_pBuffer);
    return static_cast<Derived&>(*this);
}

template <typename Derived, typename Char> Derived& CMyStringBase<Derived, Char>::operator+=(Char c)
{
    AppendChar(c);
    return static_cast<Derived&>(*this);
}

// ---------------------------------------------------------------------------------------------
// Characters

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::SetLength(uint32_t uLength)
{
    MY_ASSERT((uLength == 0) || (uLength < m_uMaxCount));
    if (m_pBuffer != nullptr)
        m_pBuffer[uLength] = Char(0);
    m_uCount = m_pBuffer != nullptr ? uLength : 0;
}

template <typename Derived, typename Char>
Char CMyStringBase<Derived, Char>::GetAt(uint32_t uIndex) const
{
    MY_ASSERT(uIndex < m_uCount);
    return m_pBuffer[uIndex];
}

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::SetAt(uint32_t uIndex, Char c)
{
    MY_ASSERT(uIndex < m_uCount);
    m_pBuffer[uIndex] = c;
}

// ---------------------------------------------------------------------------------------------
// Searching

template <typename Derived, typename Char> uint32_t CMyStringBase<Derived, Char>::Find(Char c) const
{
    return Find(c, 0);
}

template <typename Derived, typename Char>
uint32_t CMyStringBase<Derived, Char>::Find(Char c, uint32_t uStart) const
{
    if (IsEmpty() || uStart >= m_uCount)
        return MY_NOT_FOUND;
    const size_t uAt = std::basic_string_view<Char>(m_pBuffer, m_uCount).find(c, uStart);
    return uAt == std::basic_string_view<Char>::npos ? MY_NOT_FOUND : static_cast<uint32_t>(uAt);
}

template <typename Derived, typename Char>
uint32_t CMyStringBase<Derived, Char>::Find(const Char* pText) const
{
    if (IsEmpty() || pText == nullptr)
        return MY_NOT_FOUND;
    const size_t uAt = std::basic_string_view<Char>(m_pBuffer, m_uCount).find(pText);
    return uAt == std::basic_string_view<Char>::npos ? MY_NOT_FOUND : static_cast<uint32_t>(uAt);
}

template <typename Derived, typename Char>
uint32_t CMyStringBase<Derived, Char>::FindNoCase(const Char* pType) const
{
    MY_ASSERT(pType != NULL);
    if (IsEmpty())
        return MY_NOT_FOUND;
    Derived strThis(static_cast<const Derived&>(*this));
    Derived strType(pType);
    strThis.MakeLower();
    strType.MakeLower();
    return strType.IsEmpty() ? 0 : strThis.Find(strType.GetBuffer());
}

template <typename Derived, typename Char>
uint32_t CMyStringBase<Derived, Char>::ReverseFind(Char c) const
{
    if (IsEmpty())
        return MY_NOT_FOUND;
    const size_t uAt = std::basic_string_view<Char>(m_pBuffer, m_uCount).rfind(c);
    return uAt == std::basic_string_view<Char>::npos ? MY_NOT_FOUND : static_cast<uint32_t>(uAt);
}

template <typename Derived, typename Char>
Derived CMyStringBase<Derived, Char>::Mid(uint32_t uStart, uint32_t uCount) const
{
    Derived result;
    if (uint64_t{uStart} + uCount <= m_uCount && m_pBuffer != nullptr)
        result.AssignText(m_pBuffer + uStart, uCount);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Case and comparison

template <typename Derived, typename Char> uint32_t CMyStringBase<Derived, Char>::MakeLower()
{
    for (uint32_t i = 0; i < m_uCount; ++i)
        m_pBuffer[i] = LowerAscii(m_pBuffer[i]);
    return m_uCount;
}

template <typename Derived, typename Char>
int CMyStringBase<Derived, Char>::Compare(const Derived& other) const
{
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() == other.IsEmpty() ? 0 : (IsEmpty() ? -1 : 1);
    return CompareText(m_pBuffer, other.m_pBuffer, false);
}

template <typename Derived, typename Char>
int CMyStringBase<Derived, Char>::CompareNoCase(const Derived& other) const
{
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() == other.IsEmpty() ? 0 : (IsEmpty() ? -1 : 1);
    return CompareText(m_pBuffer, other.m_pBuffer, true);
}

// ---------------------------------------------------------------------------------------------
// Transformations

template <typename Derived, typename Char>
uint32_t CMyStringBase<Derived, Char>::Replace(const Char* pOld, const Char* pNew)
{
    if (IsEmpty() || pOld == nullptr || *pOld == Char(0))
        return 0;
    const std::basic_string_view<Char> text(m_pBuffer, m_uCount);
    if (text.find(pOld) == text.npos)
        return 0;
    // Copies, since either text may be a piece of this string.
    const std::basic_string<Char> strOld(pOld);
    const std::basic_string<Char> strNew(pNew != nullptr ? pNew : std::basic_string<Char>());

    uint32_t uFound = 0;
    for (size_t uAt = text.find(strOld); uAt != text.npos;
         uAt = text.find(strOld, uAt + strOld.size()))
        ++uFound;
    if (uFound == 0)
        return 0;

    const int64_t nNewLength =
        int64_t{m_uCount} + int64_t{uFound} * (static_cast<int64_t>(strNew.size()) -
                                               static_cast<int64_t>(strOld.size()));
    if (nNewLength >= UINT32_MAX)
        return 0;
    const auto uNewLength = static_cast<uint32_t>(nNewLength);

    // Built aside and copied back: linear however many occurrences there are, and the text
    // just inserted is never looked at again.
    std::basic_string<Char> result;
    result.reserve(uNewLength);
    size_t uFrom = 0;
    for (size_t uAt = text.find(strOld); uAt != text.npos; uAt = text.find(strOld, uFrom))
    {
        result.append(text.substr(uFrom, uAt - uFrom));
        result.append(strNew);
        uFrom = uAt + strOld.size();
    }
    result.append(text.substr(uFrom));

    if (uNewLength >= m_uMaxCount)
    {
        Reserve(uNewLength);
        if (uNewLength > m_uMaxCount)
            return 0;
    }
    std::memcpy(m_pBuffer, result.data(), result.size() * sizeof(Char));
    m_pBuffer[result.size()] = Char(0);
    m_uCount = TextLength(m_pBuffer);
    return uFound;
}

template <typename Derived, typename Char> int32_t CMyStringBase<Derived, Char>::ToInt() const
{
    if (IsEmpty())
        return 0;
    const Char* p = m_pBuffer;
    while (IsSpace(*p))
        ++p;
    const bool bNegative = *p == Char('-');
    if (*p == Char('-') || *p == Char('+'))
        ++p;
    // Out-of-range values saturate instead of wrapping.
    int64_t nValue = 0;
    for (; IsDigit(*p); ++p)
    {
        nValue = nValue * 10 + (*p - Char('0'));
        if (nValue > int64_t{INT32_MAX} + 1)
            nValue = int64_t{INT32_MAX} + 1;
    }
    if (bNegative)
        nValue = -nValue;
    if (nValue > INT32_MAX)
        nValue = INT32_MAX;
    return static_cast<int32_t>(nValue);
}

template <typename Derived, typename Char> void CMyStringBase<Derived, Char>::DecodeXmlEntities()
{
    if (Find(Char('&')) == MY_NOT_FOUND)
        return;

    // Numeric references, leftmost first; every occurrence of the same reference text goes at
    // once. Only the first three characters behind "&#" are read, and only while they are
    // digits, so "&#9;" is a tab and "&#;" or "&#x41;" decode to 0, which removes them.
    // Every round shortens the text, so the loop ends.
    static const std::basic_string<Char> strReferenceStart = Literal<Char>("&#");
    for (;;)
    {
        const uint32_t uStart = Find(strReferenceStart.c_str());
        if (uStart == MY_NOT_FOUND)
            break;
        const uint32_t uEnd = Find(Char(';'), uStart);
        if (uEnd == MY_NOT_FOUND)
            break;
        uint32_t uValue = 0;
        for (uint32_t i = uStart + 2; i < uStart + 5 && IsDigit(m_pBuffer[i]); ++i)
            uValue = uValue * 10 + static_cast<uint32_t>(m_pBuffer[i] - Char('0'));
        const Char replacement[2] = {static_cast<Char>(uValue & 0xFF), Char(0)};
        const Derived strReference = Mid(uStart, uEnd - uStart + 1);
        Replace(strReference.GetBuffer(), replacement);
    }

    // "&amp;" goes before the other three, so "&amp;lt;" ends as "<".
    static const std::basic_string<Char> kNamed[][2] = {
        {Literal<Char>("&apos;"), Literal<Char>("'")},
        {Literal<Char>("&amp;"), Literal<Char>("&")},
        {Literal<Char>("&quot;"), Literal<Char>("\"")},
        {Literal<Char>("&lt;"), Literal<Char>("<")},
        {Literal<Char>("&gt;"), Literal<Char>(">")}};
    for (const auto& entity : kNamed)
    {
        if (Find(Char('&')) == MY_NOT_FOUND)
            break;
        Replace(entity[0].c_str(), entity[1].c_str());
    }
}

template <typename Derived, typename Char>
void CMyStringBase<Derived, Char>::AppendPath(const Derived& other)
{
    if (other.IsEmpty())
        return;
    if (&other == this)
    {
        const Derived copy(other);
        AppendPath(copy);
        return;
    }
    const bool bEndsWithSeparator = IsEmpty() || IsPathSeparator(m_pBuffer[m_uCount - 1]);
    const bool bOtherStartsWithSeparator = IsPathSeparator(other.m_pBuffer[0]);
    if (!bOtherStartsWithSeparator)
    {
        if (!bEndsWithSeparator)
            AppendChar(Char('/'));
        Append(other.m_pBuffer);
    }
    else if (bEndsWithSeparator)
        Append(other.m_pBuffer + 1);
    else
        Append(other.m_pBuffer);
}

// ---------------------------------------------------------------------------------------------
// CMyString

CMyString::CMyString(const QString& strText)
{
    const QByteArray utf8 = strText.toUtf8();
    AssignText(utf8.constData(), TextLength(utf8.constData()));
}

// The hashes that CMapPtr takes as keys.
namespace
{
uint32_t HashBytes(const char* pText, uint32_t uLength, bool bLowerCase)
{
    uint32_t uHash = 0;
    for (uint32_t i = 0; i < uLength; ++i)
    {
        char c = pText[i];
        if (bLowerCase && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        uHash = uHash * 33 + static_cast<uint32_t>(static_cast<signed char>(c));
    }
    return uHash;
}
} // namespace

uint32_t HashKey(const CMyString& strKey)
{
    return HashBytes(strKey.GetBuffer(), strKey.GetLength(), false);
}

uint32_t HashKeyNoCase(const CMyString& strKey)
{
    return HashBytes(strKey.GetBuffer(), strKey.GetLength(), true);
}

uint32_t HashKeyNoCase(const char* pText, uint32_t uLength)
{
    return HashBytes(pText, uLength, true);
}

QString ToQString(const CMyString& strText)
{
    if (strText.IsEmpty())
        return QString();
    return QString::fromUtf8(strText.GetBuffer(), static_cast<qsizetype>(strText.GetLength()));
}

CMyString CMyString::UrlEncode() const
{
    CMyString result;
    if (IsEmpty())
        return result;
    std::string encoded;
    encoded.reserve(size_t{m_uCount} * 3);
    for (uint32_t i = 0; i < m_uCount; ++i)
    {
        const auto byte = static_cast<unsigned char>(m_pBuffer[i]);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9'))
            encoded.push_back(static_cast<char>(byte));
        else if (byte == ' ')
            encoded.push_back('+');
        else
        {
            encoded.push_back('%');
            encoded.push_back(kHexDigits[byte >> 4]);
            encoded.push_back(kHexDigits[byte & 0x0F]);
        }
    }
    result.AssignText(encoded.data(), static_cast<uint32_t>(encoded.size()));
    return result;
}

char16_t* CMyString::ToWide(unsigned uCodePage) const
{
    if (IsEmpty())
        return nullptr;
    std::u16string wide;
    if (!CodePageToUtf16(std::string_view(m_pBuffer, m_uCount), uCodePage, wide))
        return nullptr;
    auto* pWide = new (std::nothrow) char16_t[size_t{m_uCount} + 1];
    if (pWide == nullptr)
        return nullptr;
    // No code page yields more 16-bit units than it had bytes.
    const size_t uUnits = wide.size() < m_uCount ? wide.size() : m_uCount;
    std::memcpy(pWide, wide.data(), uUnits * sizeof(char16_t));
    pWide[uUnits] = u'\0';
    return pWide;
}

bool CMyString::AssignFromWide(const char16_t* pText)
{
    return AssignFromWide(pText, CODE_PAGE_SYSTEM);
}

bool CMyString::AssignFromWide(const char16_t* pText, unsigned uCodePage)
{
    Empty();
    if (pText == nullptr || *pText == u'\0')
        return false;
    std::string narrow;
    if (!Utf16ToCodePage(std::u16string_view(pText), uCodePage, narrow))
        return false;
    AssignText(narrow.data(), static_cast<uint32_t>(narrow.size()));
    return !IsEmpty();
}

// ---------------------------------------------------------------------------------------------
// CMyStringW

CMyStringW::CMyStringW(const CMyString& strText, unsigned uCodePage)
{
    std::u16string wide;
    if (!strText.IsEmpty() &&
        CodePageToUtf16(std::string_view(strText.GetBuffer(), strText.GetLength()), uCodePage,
                        wide))
        AssignText(wide.data(), static_cast<uint32_t>(wide.size()));
}

CMyString CMyStringW::ToNarrow(unsigned uCodePage) const
{
    std::string narrow;
    if (IsEmpty() || !Utf16ToCodePage(std::u16string_view(m_pBuffer, m_uCount), uCodePage, narrow))
        return CMyString();
    return CMyString(narrow.c_str());
}

char16_t CMyStringW::ConvertChar(char c, unsigned uCodePage)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 192)
        return byte;
    std::u16string wide;
    if (!CodePageToUtf16(std::string_view(&c, 1), uCodePage, wide) || wide.empty())
        return u'\0';
    return wide[0];
}

CMyStringW CMyStringW::UrlEncode(unsigned uCodePage) const
{
    return CMyStringW(ToNarrow(uCodePage).UrlEncode(), CODE_PAGE_UTF8);
}

uint32_t CMyStringW::Hash() const
{
    return IsEmpty() ? 0 : HashKey(ToNarrow(CODE_PAGE_UTF8));
}

bool CMyStringW::IsTrue() const
{
    return !(m_uCount == 1 && m_pBuffer[0] == u'0');
}

template class CMyStringBase<CMyString, char>;
template class CMyStringBase<CMyStringW, char16_t>;
