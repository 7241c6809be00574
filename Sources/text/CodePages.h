#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the Windows code page numbers that the lists and their callers use and
// UTF-16, through glibc's iconv. 0 (the system code page) and 65001 are UTF-8. Bytes that are
// not valid in the source become U+FFFD; characters the target cannot hold become "?". The
// result is false only when the code page is unknown here.
bool CodePageToUtf16(std::string_view text, unsigned uCodePage, std::u16string& result);
bool Utf16ToCodePage(std::u16string_view text, unsigned uCodePage, std::string& result);

// The iconv name of a code page number, such as "CP1251"; empty when there is none.
std::string CharsetOfCodePage(unsigned uCodePage);

// Re-encodes text between two iconv character sets (such as "UTF-8" and "windows-1251"),
// with the same replacements; false when either set is unknown.
bool ConvertCharset(std::string_view text, const char* pszFrom, const char* pszTo,
                    std::string& result);
