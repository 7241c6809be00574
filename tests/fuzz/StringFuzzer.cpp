// Runs the string transformations the settings files and the search bar rely on over arbitrary
// text and checks their invariants. The input is split at its first two 0x00 or 0x01 bytes into
// a subject text, a pattern and a replacement; the last piece ends at the next NUL.

#include "FuzzCheck.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace
{
// The text of a string, whose length must agree with the terminator and fit the capacity.
std::string CheckedStr(const CMyString& str)
{
    const std::string strText = str.GetBuffer() == nullptr ? "" : str.GetBuffer();
    Check(strText.size() == str.GetLength() && str.GetLength() <= str.GetMaxCount());
    return strText;
}

// Letters, digits and '+', or '%' followed by two upper-case hex digits.
bool IsFormEncoded(const std::string& str)
{
    const auto IsHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    for (size_t i = 0; i < str.size(); ++i)
    {
        if (str[i] == '%' && i + 2 < str.size() && IsHex(str[i + 1]) && IsHex(str[i + 2]))
            i += 2;
        else if (!std::isalnum(static_cast<unsigned char>(str[i])) && str[i] != '+')
            return false;
    }
    return true;
}

// Left to right, non-overlapping, never matching inside inserted text.
uint32_t ReplaceAll(std::string& str, const std::string& strOld, const std::string& strNew)
{
    uint32_t uCount = 0;
    size_t uPos = 0;
    while (!strOld.empty() && (uPos = str.find(strOld, uPos)) != std::string::npos)
    {
        str.replace(uPos, strOld.size(), strNew);
        uPos += strNew.size();
        ++uCount;
    }
    return uCount;
}

void CheckWide(const std::string& strA, unsigned uCodePage)
{
    const CMyString str(strA.c_str());
    const CMyStringW strWide(str, uCodePage);
    const std::unique_ptr<char16_t[]> pWide(str.ToWide(uCodePage));
    const std::u16string strText = strWide.GetBuffer() == nullptr ? u"" : strWide.GetBuffer();
    Check(strText.size() == strWide.GetLength());
    Check(pWide ? std::u16string(pWide.get()) == strText : strText.empty());
    Check(strWide.Hash() == HashKey(strWide.ToNarrow(CODE_PAGE_UTF8)));
    // What came back from a conversion converts back unchanged; in 1251 every byte but 0x98
    // stands for a character of its own, so such texts come back whole.
    const std::string strBack = CheckedStr(strWide.ToNarrow(uCodePage));
    Check(CheckedStr(CMyStringW(CMyString(strBack.c_str()), uCodePage).ToNarrow(uCodePage)) ==
          strBack);
    if (uCodePage == 1251 && strA.find('\x98') == std::string::npos)
        Check(strBack == strA);
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
            ++uPiece;
        else if (c == '\0')
            break;
        else
            strPieces[uPiece] += c;
    }
    const auto& [strA, strB, strC] = strPieces;

    CMyString strReplaced(strA.c_str());
    std::string strExpected = strA;
    Check(strReplaced.Replace(strB.c_str(), strC.c_str()) == ReplaceAll(strExpected, strB, strC));
    Check(CheckedStr(strReplaced) == strExpected);

    CMyString strDecoded(strA.c_str());
    strDecoded.DecodeXmlEntities();
    Check(CheckedStr(strDecoded).size() <= strA.size());
    Check(IsFormEncoded(CheckedStr(CMyString(strA.c_str()).UrlEncode())));

    CMyString strPath(strA.c_str());
    strPath.AppendPath(CMyString(strB.c_str()));
    Check(CheckedStr(strPath).compare(0, strA.size(), strA) == 0);

    CheckWide(strA, CODE_PAGE_UTF8);
    CheckWide(strA, 1251);
    return 0;
}
