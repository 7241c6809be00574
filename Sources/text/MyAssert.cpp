#include "text/MyAssert.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace
{
// "/src/Sources/text/MyString.cpp" -> "MyString"
std::string_view SourceNameOf(std::string_view path)
{
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    const size_t dot = path.find('.');
    if (dot != std::string_view::npos)
        path = path.substr(0, dot);
    return path;
}
} // namespace

void ReportFailedAssertion(const char* pszCondition, const char* pszFile, unsigned uLine)
{
    const std::string_view name = SourceNameOf(pszFile != nullptr ? pszFile : "");
    std::fprintf(stderr, "Assertion failed: %s, file %.*s, line %u\n", pszCondition,
                 static_cast<int>(name.size()), name.data(), uLine);
    std::fflush(stderr);
    std::abort();
}
