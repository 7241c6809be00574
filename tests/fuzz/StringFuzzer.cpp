// Runs the string transformations the settings files and the search bar rely on over arbitrary
// pieces of text, and compares each result with a plain reference computed on std::string.
// The input is split into three pieces at its first two 0x00 or 0x01 bytes: a subject text,
// a pattern and a replacement; the last piece ends at the next NUL.

#include "text/ArrayString.h"
#include "text/MyString.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{

void Check(bool bCondition)
{
    if (!bCondition)
        __builtin_trap();
}

std::string Str(const CMyString& str)
{
    if (str.GetBuffer() == nullptr)
        return std::string();
    // The length must agree with the terminator whenever there is a buffer.
    Check(str.GetLength() == __builtin_strlen(str.GetBuffer()));
    return std::string(str.GetBuffer(), str.GetLength());
}

std::u16string WStr(const CMyStringW& str)
{
    const char16_t* pText = str.GetBuffer();
    if (pText == nullptr)
        return std::u16string();
    const std::u16string strText(pText);
    Check(strText.size() == str.GetLength());
    return strText;
}

bool IsAscii(const std::string& str)
{
    for (const char c : str)
    {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

std::string LowerAscii(std::string str)
{
    for (char& c : str)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return str;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& str)
{
    size_t i = 0;
    while (i < str.size())
    {
        const auto c = static_cast<unsigned char>(str[i]);
        size_t uMore = 0;
        uint32_t uCode = 0;
        if (c < 0x80)
        {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF)
        {
            uMore = 1;
            uCode = c & 0x1Fu;
        }
        else if (c >= 0xE0 && c <= 0xEF)
        {
            uMore = 2;
            uCode = c & 0x0Fu;
        }
        else if (c >= 0xF0 && c <= 0xF4)
        {
            uMore = 3;
            uCode = c & 0x07u;
        }
        else
            return false;
        if (i + uMore >= str.size())
            return false;
        for (size_t k = 1; k <= uMore; ++k)
        {
            const auto cc = static_cast<unsigned char>(str[i + k]);
            if ((cc & 0xC0u) != 0x80u)
                return false;
            uCode = (uCode << 6) | (cc & 0x3Fu);
        }
        if ((uMore == 2 && uCode < 0x800) || (uMore == 3 && uCode < 0x10000) ||
            (uCode >= 0xD800 && uCode <= 0xDFFF) || uCode > 0x10FFFF)
            return false;
        i += uMore + 1;
    }
    return true;
}

uint32_t Position(size_t uPos)
{
    return uPos == std::string::npos ? MY_NOT_FOUND : static_cast<uint32_t>(uPos);
}

// Left to right, non-overlapping, never matching inside inserted text.
std::string ReplaceAll(std::string str, const std::string& strOld, const std::string& strNew,
                       uint32_t& uCount)
{
    uCount = 0;
    if (str.empty() || strOld.empty())
        return str;
    size_t uPos = 0;
    while ((uPos = str.find(strOld, uPos)) != std::string::npos)
    {
        str.replace(uPos, strOld.size(), strNew);
        uPos += strNew.size();
        ++uCount;
    }
    return str;
}

std::string UrlEncodeReference(const std::string& str)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    for (const char c : str)
    {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
            strOut += c;
        else if (u == ' ')
            strOut += '+';
        else
        {
            strOut += '%';
            strOut += kHex[u >> 4];
            strOut += kHex[u & 0x0Fu];
        }
    }
    return strOut;
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::string AppendPathReference(const std::string& strBase, const std::string& strOther)
{
    if (strOther.empty())
        return strBase;
    const bool bBaseEnds = strBase.empty() || IsSeparator(strBase.back());
    if (!IsSeparator(strOther.front()))
        return strBase + (bBaseEnds ? "" : "/") + strOther;
    if (bBaseEnds)
        return strBase + strOther.substr(1);
    return strBase + strOther;
}

void CheckReplace(const std::string& strA, const std::string& strB, const std::string& strC)
{
    CMyString str(strA.c_str());
    const uint32_t uResult = str.Replace(strB.c_str(), strC.c_str());
    uint32_t uExpected = 0;
    const std::string strExpected = ReplaceAll(strA, strB, strC, uExpected);
    Check(uResult == uExpected);
    Check(Str(str) == strExpected);
    Check(str.GetLength() == strExpected.size());
    Check(str.GetLength() <= str.GetMaxCount());
}

void CheckDecode(const std::string& strA)
{
    CMyString str(strA.c_str());
    str.DecodeXmlEntities();
    const std::string strDecoded = Str(str);
    // Every entity gives at most one character in place of several.
    Check(strDecoded.size() <= strA.size());
    if (strA.find('&') == std::string::npos)
        Check(strDecoded == strA);
    if (strA.find("&#") == std::string::npos)
    {
        // Without numeric references only the five named ones are decoded, in this order.
        uint32_t uCount = 0;
        std::string strExpected = strA;
        strExpected = ReplaceAll(strExpected, "&apos;", "'", uCount);
        strExpected = ReplaceAll(strExpected, "&amp;", "&", uCount);
        strExpected = ReplaceAll(strExpected, "&quot;", "\"", uCount);
        strExpected = ReplaceAll(strExpected, "&lt;", "<", uCount);
        strExpected = ReplaceAll(strExpected, "&gt;", ">", uCount);
        Check(strDecoded == strExpected);
    }
}

void CheckUrlEncode(const std::string& strA)
{
    const CMyString strEncoded = CMyString(strA.c_str()).UrlEncode();
    const std::string strOut = Str(strEncoded);
    for (size_t i = 0; i < strOut.size(); ++i)
    {
        const char c = strOut[i];
        const bool bPlain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+';
        if (c == '%')
        {
            Check(i + 2 < strOut.size());
            for (size_t k = 1; k <= 2; ++k)
            {
                const char h = strOut[i + k];
                Check((h >= '0' && h <= '9') || (h >= 'A' && h <= 'F'));
            }
        }
        else
            Check(bPlain);
    }
    Check(strOut == UrlEncodeReference(strA));
}

void CheckAppendPath(const std::string& strA, const std::string& strB)
{
    CMyString str(strA.c_str());
    str.AppendPath(CMyString(strB.c_str()));
    const std::string strOut = Str(str);
    Check(strOut.size() >= strA.size() && strOut.compare(0, strA.size(), strA) == 0);
    Check(strOut == AppendPathReference(strA, strB));
}

void CheckSearches(const std::string& strA, const std::string& strB, const std::string& strC)
{
    const CMyString str(strA.c_str());
    const uint32_t uLength = static_cast<uint32_t>(strA.size());

    if (!strB.empty())
    {
        Check(str.Find(strB.c_str()) == Position(strA.find(strB)));
        const char c = strB.front();
        Check(str.Find(c) == Position(strA.find(c)));
        Check(str.ReverseFind(c) == Position(strA.rfind(c)));
        const uint32_t uStart = static_cast<uint32_t>(strC.size() % (strA.size() + 2));
        Check(str.Find(c, uStart) ==
              (uStart >= uLength ? MY_NOT_FOUND : Position(strA.find(c, uStart))));
    }

    const uint32_t uFound = str.FindNoCase(strB.c_str());
    if (strA.empty())
        Check(uFound == MY_NOT_FOUND);
    else if (!strB.empty() && IsAscii(strA) && IsAscii(strB))
        Check(uFound == Position(LowerAscii(strA).find(LowerAscii(strB))));

    // Mid answers the whole piece or nothing, also when start + count overflows.
    const uint32_t uStart = static_cast<uint32_t>(strB.size() % (strA.size() + 2));
    const uint32_t uCount = static_cast<uint32_t>(strC.size() % (strA.size() + 2));
    const std::string strMid = Str(str.Mid(uStart, uCount));
    if (uStart + uCount <= uLength)
        Check(strMid == strA.substr(uStart, uCount));
    else
        Check(strMid.empty());
    Check(Str(str.Mid(uStart + 1, MY_NOT_FOUND)).empty());
    Check(Str(str.Mid(MY_NOT_FOUND, uCount + 1)).empty());

    CMyString strLower(str);
    Check(strLower.MakeLower() == uLength);
    if (IsAscii(strA))
        Check(Str(strLower) == LowerAscii(strA));

    const int nCompare = str.Compare(CMyString(strB.c_str()));
    const int nExpected = strA.compare(strB);
    Check(nCompare == (nExpected < 0 ? -1 : (nExpected > 0 ? 1 : 0)));

    CMyString strJoined(str);
    strJoined += strB.c_str();
    if (!strC.empty())
        strJoined += strC.front();
    Check(Str(strJoined) == strA + strB + strC.substr(0, strC.empty() ? 0 : 1));
}

void CheckWide(const std::string& strA)
{
    const CMyString str(strA.c_str());

    const CMyStringW strUtf8(str, CODE_PAGE_UTF8);
    const std::u16string strWide = WStr(strUtf8);
    const CMyString strBack = strUtf8.ToNarrow(CODE_PAGE_UTF8);
    char16_t* pWide = str.ToWide(CODE_PAGE_UTF8);
    if (strA.empty())
        Check(pWide == nullptr && strWide.empty());
    if (IsValidUtf8(strA))
    {
        Check(Str(strBack) == strA);
        Check(strUtf8.Hash() == HashKey(str));
        if (pWide != nullptr)
            Check(std::u16string(pWide) == strWide);
        CMyString strAssigned;
        Check(strAssigned.AssignFromWide(strUtf8.GetBuffer(), CODE_PAGE_UTF8) == !strA.empty());
        Check(Str(strAssigned) == strA);
        Check(Str(strUtf8.UrlEncode(CODE_PAGE_UTF8).ToNarrow(CODE_PAGE_UTF8)) ==
              UrlEncodeReference(strA));
        if (IsAscii(strA))
            Check(strWide.size() == strA.size());
        if (!strA.empty())
            Check(strUtf8.IsTrue() == (strA != "0"));
    }
    delete[] pWide;

    // Every byte of this single-byte code page except 0x98 has a character, one for one.
    const CMyStringW strCyrillic(str, 1251);
    const std::u16string strWide1251 = WStr(strCyrillic);
    char16_t* pWide1251 = str.ToWide(1251);
    if (strA.find('\x98') == std::string::npos && !strA.empty())
    {
        Check(strWide1251.size() == strA.size());
        Check(Str(strCyrillic.ToNarrow(1251)) == strA);
        Check(pWide1251 != nullptr && std::u16string(pWide1251) == strWide1251);
        Check(Str(strCyrillic.UrlEncode(1251).ToNarrow(CODE_PAGE_UTF8)) ==
              UrlEncodeReference(strA));
    }
    delete[] pWide1251;

    for (const char c : strA)
    {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 192)
            Check(CMyStringW::ConvertChar(c, 1251) == static_cast<char16_t>(u));
        else if (u < 0x80)
            Check(CMyStringW::ConvertChar(c, CODE_PAGE_UTF8) == static_cast<char16_t>(u));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize)
{
    std::string strPieces[3];
    size_t uPiece = 0;
    for (size_t i = 0; i < uSize; ++i)
    {
        const char c = static_cast<char>(pData[i]);
        if (uPiece < 2 && (c == '\0' || c == '\x01'))
        {
            ++uPiece;
            continue;
        }
        // The strings are NUL-terminated: the last piece ends at its first NUL.
        if (c == '\0')
            break;
        strPieces[uPiece] += c;
    }
    const std::string& strA = strPieces[0];
    const std::string& strB = strPieces[1];
    const std::string& strC = strPieces[2];

    CheckReplace(strA, strB, strC);
    CheckDecode(strA);
    CheckDecode(strC);
    CheckUrlEncode(strA);
    CheckAppendPath(strA, strB);
    CheckSearches(strA, strB, strC);
    CheckWide(strA);
    return 0;
}
