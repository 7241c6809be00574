#include "text/CodePages.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace
{
constexpr const char* kUtf16Native =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Owns one iconv conversion descriptor.
class IconvHandle
{
public:
    IconvHandle(const char* pszTo, const char* pszFrom) : m_cd(iconv_open(pszTo, pszFrom)) {}
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle()
    {
        if (IsUsable())
            iconv_close(m_cd);
    }
    // False when iconv knows no conversion between the two character sets.
    bool IsUsable() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts all of `input`. A unit of the source that cannot be converted (an invalid or
// truncated sequence, or a character the target lacks) is skipped and `replacement`, already
// encoded in the target, is written in its place, so a conversion always runs to the end.
bool ConvertBytes(std::string_view input, const char* pszFrom, const char* pszTo,
                  size_t uSourceUnit, std::string_view replacement, std::string& output)
{
    IconvHandle handle(pszTo, pszFrom);
    if (!handle.IsUsable())
        return false;

    output.clear();
    output.resize(input.size() * 2 + 16);
    size_t uWritten = 0;

    // iconv's interface takes non-const pointers but does not write through the input one.
    char* pIn = const_cast<char*>(input.data());
    size_t uInLeft = input.size();
    bool bFlushed = false;
    while (!bFlushed)
    {
        char* pOut = output.data() + uWritten;
        size_t uOutLeft = output.size() - uWritten;
        // Once the input is used up, one more call with no input writes any shift sequence.
        const bool bFlushing = uInLeft == 0;
        const size_t uResult = bFlushing ? iconv(handle.Get(), nullptr, nullptr, &pOut, &uOutLeft)
                                         : iconv(handle.Get(), &pIn, &uInLeft, &pOut, &uOutLeft);
        const int nError = errno;
        uWritten = static_cast<size_t>(pOut - output.data());
        if (uResult != static_cast<size_t>(-1))
        {
            bFlushed = bFlushing;
            continue;
        }
        if (nError == E2BIG)
        {
            output.resize(output.size() * 2 + 16);
            continue;
        }
        if (bFlushing)
            break;
        // EILSEQ or EINVAL: replace one source unit and go on.
        const size_t uSkip = uInLeft < uSourceUnit ? uInLeft : uSourceUnit;
        pIn += uSkip;
        uInLeft -= uSkip;
        if (output.size() - uWritten < replacement.size())
            output.resize(output.size() * 2 + replacement.size());
        std::memcpy(output.data() + uWritten, replacement.data(), replacement.size());
        uWritten += replacement.size();
        iconv(handle.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    output.resize(uWritten);
    return true;
}

bool IsUtf8(const std::string& strCharset)
{
    return strCharset == "UTF-8";
}

std::string_view NarrowReplacement(const std::string& strCharset)
{
    // U+FFFD where the target can hold it, as the lists' original platform did.
    return IsUtf8(strCharset) ? std::string_view("\xEF\xBF\xBD") : std::string_view("?");
}

std::string_view Utf16Replacement()
{
    static const char16_t kReplacement = 0xFFFD;
    return {reinterpret_cast<const char*>(&kReplacement), sizeof kReplacement};
}
} // namespace

std::string CharsetOfCodePage(unsigned uCodePage)
{
    switch (uCodePage)
    {
    case 0:
    case 65001:
        return "UTF-8";
    case 65000:
        return "UTF-7";
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 20127:
        return "ASCII";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 10000:
        return "MACINTOSH";
    case 50220:
        return "ISO-2022-JP";
    case 51932:
        return "EUC-JP";
    case 51949:
        return "EUC-KR";
    case 54936:
        return "GB18030";
    default:
        break;
    }
    if (uCodePage >= 28591 && uCodePage <= 28606)
        return "ISO-8859-" + std::to_string(uCodePage - 28590);
    // The remaining Windows and DOS code pages are known to glibc by their numbers.
    return "CP" + std::to_string(uCodePage);
}

bool CodePageToUtf16(std::string_view text, unsigned uCodePage, std::u16string& result)
{
    result.clear();
    const std::string strCharset = CharsetOfCodePage(uCodePage);
    std::string bytes;
    if (!ConvertBytes(text, strCharset.c_str(), kUtf16Native, 1, Utf16Replacement(), bytes))
        return false;
    result.resize(bytes.size() / sizeof(char16_t));
    std::memcpy(result.data(), bytes.data(), result.size() * sizeof(char16_t));
    return true;
}

bool Utf16ToCodePage(std::u16string_view text, unsigned uCodePage, std::string& result)
{
    result.clear();
    const std::string strCharset = CharsetOfCodePage(uCodePage);
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()),
                                 text.size() * sizeof(char16_t));
    return ConvertBytes(bytes, kUtf16Native, strCharset.c_str(), sizeof(char16_t),
                        NarrowReplacement(strCharset), result);
}

bool ConvertCharset(std::string_view text, const char* pszFrom, const char* pszTo,
                    std::string& result)
{
    result.clear();
    if (pszFrom == nullptr || pszTo == nullptr || *pszFrom == '\0' || *pszTo == '\0')
        return false;
    const std::string strTo = pszTo;
    return ConvertBytes(text, pszFrom, pszTo, 1, NarrowReplacement(strTo), result);
}
