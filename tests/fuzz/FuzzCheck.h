// What the fuzz targets share: a failed invariant stops the run where libFuzzer sees it, and a
// string's text as a std::string for comparisons.
#pragma once

#include "text/MyString.h"

#include <string>

inline void Check(bool bCondition)
{
    if (!bCondition)
        __builtin_trap();
}

inline std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer(), str.GetLength());
}
