#pragma once

// The program's assertion facility. A failed precondition is a programming error: the report
// names the condition as written, the source file it stands in (without folder and extension,
// such as "MyString") and the line, then the process aborts. Checks stay on in every build,
// since the containers rely on them to never touch memory out of bounds.

[[noreturn]] void ReportFailedAssertion(const char* pszCondition, const char* pszFile,
                                        unsigned uLine);

#define MY_ASSERT(condition)                                                                       \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
            ReportFailedAssertion(#condition, __FILE__, __LINE__);                                 \
    } while (false)
