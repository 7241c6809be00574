#pragma once

#include <cstdint>
#include <string_view>

class QString;
class CMyString;
class CMyStringW;

// Result of every search that finds nothing.
inline constexpr uint32_t MY_NOT_FOUND = 0xFFFFFFFFu;

// Code page numbers as callers pass them (the numbering of the lists' original platform):
// 0 is the system code page, which is UTF-8 on Linux, and 65001 is UTF-8.
inline constexpr unsigned CODE_PAGE_SYSTEM = 0;
inline constexpr unsigned CODE_PAGE_UTF8 = 65001;

// Equality of two byte strings with the ASCII letters compared ignoring case, as
// CMyString::IsEqualNoCase does, for text that is not (yet) a CMyString.
bool IsEqualNoCaseAscii(std::string_view left, std::string_view right);

// What the narrow and the wide string have in common: an owned, NUL-terminated buffer from the
// C allocator with an explicit length and capacity. An empty string normally has no buffer at
// all. Capacity grows only on demand and to the exact size asked for.
template <typename Derived, typename Char> class CMyStringBase
{
public:
    uint32_t GetLength() const { return m_uCount; }
    uint32_t GetMaxCount() const { return m_uMaxCount; }
    // The text; null for a string that has never held any.
    Char* GetBuffer() const { return m_pBuffer; }
    bool IsEmpty() const { return m_pBuffer == nullptr || m_pBuffer[0] == 0; }

    void Assign(const Derived& other) { *this = other; }
    void Empty();

    // Makes room for uCount characters: nothing happens below the capacity, otherwise the
    // capacity becomes exactly uCount.
    void Reserve(uint32_t uCount);

    void Append(const Char* pText);
    void Append(const Derived& other) { Append(other.m_pBuffer); }
    void AppendChar(Char c);
    Derived& operator+=(const Char* pText);
    Derived& operator+=(const Derived& other);
    Derived& operator+=(Char c);

    void SetLength(uint32_t uLength);
    Char GetAt(uint32_t uIndex) const;
    void SetAt(uint32_t uIndex, Char c);

    uint32_t Find(Char c) const;
    uint32_t Find(Char c, uint32_t uStart) const;
    uint32_t Find(const Char* pText) const;
    uint32_t FindNoCase(const Char* pType) const;
    uint32_t ReverseFind(Char c) const;

    // The uCount characters from uStart, or an empty string when they are not all there.
    Derived Mid(uint32_t uStart, uint32_t uCount) const;
    // ASCII letters only; answers the length.
    uint32_t MakeLower();

    int Compare(const Derived& other) const;
    int CompareNoCase(const Derived& other) const;
    bool IsEqual(const Derived& other) const { return Compare(other) == 0; }
    bool IsEqualNoCase(const Derived& other) const { return CompareNoCase(other) == 0; }

    // Replaces every non-overlapping occurrence of pOld, left to right; answers how many.
    uint32_t Replace(const Char* pOld, const Char* pNew);
    // Decimal value as the C library reads it (white space, sign, digits); 0 when empty.
    int32_t ToInt() const;

    // Decodes "&#NNN;" and the five named XML entities in place.
    void DecodeXmlEntities();
    // Joins a relative piece onto a path or URL with exactly one separator between them.
    void AppendPath(const Derived& other);

protected:
    CMyStringBase() = default;
    explicit CMyStringBase(const Char* pText);
    CMyStringBase(const CMyStringBase& other);
    CMyStringBase(CMyStringBase&& other) noexcept;
    CMyStringBase& operator=(const CMyStringBase& other);
    CMyStringBase& operator=(CMyStringBase&& other) noexcept;
    ~CMyStringBase();

    // Replaces the content with a copy of uLength characters (no copy when uLength is 0).
    void AssignText(const Char* pText, uint32_t uLength);
    void AppendText(const Char* pText, uint32_t uLength);

    uint32_t m_uCount = 0;
    uint32_t m_uMaxCount = 0;
    Char* m_pBuffer = nullptr;
};

// The 8-bit string that the whole program passes around: paths (UTF-8), URLs, captions,
// settings text.
class CMyString : public CMyStringBase<CMyString, char>
{
public:
    CMyString() = default;
    CMyString(const char* pText) : CMyStringBase(pText) {}
    // A copy of uLength characters of pText, which must hold no NUL among them.
    CMyString(const char* pText, uint32_t uLength) { AssignText(pText, uLength); }
    // The framework's string, as UTF-8.
    explicit CMyString(const QString& strText);
    CMyString(const CMyString& other) = default;
    CMyString(CMyString&& other) noexcept = default;
    CMyString& operator=(const CMyString& other) = default;
    CMyString& operator=(CMyString&& other) noexcept = default;
    ~CMyString() = default;

    // Form encoding: letters and digits stay, a space becomes "+", every other byte "%XX".
    CMyString UrlEncode() const;

    // A new array of GetLength() + 1 UTF-16 units (free with delete[]), converted from the
    // given code page and NUL-terminated; null for an empty string or an unknown code page.
    char16_t* ToWide(unsigned uCodePage) const;
    // Converts 16-bit text into the system code page; false (and empty) for null or "".
    bool AssignFromWide(const char16_t* pText);
    bool AssignFromWide(const char16_t* pText, unsigned uCodePage);
};

// The hash of a string used as a CMapPtr key: hash * 33 + byte over the bytes taken as signed,
// in 32-bit arithmetic; 0 for an empty string.
uint32_t HashKey(const CMyString& strKey);
// HashKey of the string with its ASCII letters in lower case, without making that copy.
uint32_t HashKeyNoCase(const CMyString& strKey);
// The same for uLength bytes of text that is not a CMyString.
uint32_t HashKeyNoCase(const char* pText, uint32_t uLength);

// The framework's string of the UTF-8 text; a null string for an empty one.
QString ToQString(const CMyString& strText);

// The 16-bit twin (UTF-16 code units).
class CMyStringW : public CMyStringBase<CMyStringW, char16_t>
{
public:
    CMyStringW() = default;
    CMyStringW(const char16_t* pText) : CMyStringBase(pText) {}
    CMyStringW(const CMyString& strText, unsigned uCodePage = CODE_PAGE_UTF8);
    CMyStringW(const CMyStringW& other) = default;
    CMyStringW(CMyStringW&& other) noexcept = default;
    CMyStringW& operator=(const CMyStringW& other) = default;
    CMyStringW& operator=(CMyStringW&& other) noexcept = default;
    virtual ~CMyStringW() = default;

    CMyString ToNarrow(unsigned uCodePage) const;
    // One 8-bit character: bytes below 192 go through the code page, bytes from 192 up are
    // taken as the 16-bit code of the same value.
    static char16_t ConvertChar(char c, unsigned uCodePage);
    // Encodes the text in the code page, form-encodes those bytes, and reads the result back.
    CMyStringW UrlEncode(unsigned uCodePage) const;
    // The multiply-by-33 hash of the UTF-8 form; 0 when empty.
    uint32_t Hash() const;
    // True unless the text is exactly "0".
    bool IsTrue() const;
};

extern template class CMyStringBase<CMyString, char>;
extern template class CMyStringBase<CMyStringW, char16_t>;
