#pragma once

// Helpers shared by the text layer's tests.

#include "text/MyString.h"

#include <cstring>
#include <string>

// The text of a string; a length that disagrees with the terminator shows up in the result.
inline std::string Text(const CMyString& str)
{
    if (str.GetBuffer() == nullptr)
        return str.GetLength() == 0 ? "" : "<no buffer but a length>";
    std::string strText(str.GetBuffer());
    if (strText.size() != str.GetLength())
        strText += "<length " + std::to_string(str.GetLength()) + ">";
    return strText;
}

// The report of a failed precondition in the given source file ("MyString"), as a pattern for
// EXPECT_DEATH.
inline std::string AssertionReport(const char* pszCondition, const char* pszFile)
{
    std::string strPattern = "Assertion failed: ";
    for (const char* p = pszCondition; *p != '\0'; ++p)
    {
        if (std::strchr("\\^$.|?*+()[]{}", *p) != nullptr)
            strPattern += '\\';
        strPattern += *p;
    }
    return strPattern + ", file " + pszFile + ", line [0-9]+";
}
