#include "platform/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void Trace(const char* pszFormat, ...)
{
    const char* pszDebug = getenv("ORVANTA_DEBUG");
    if (pszDebug == nullptr || pszDebug[0] == '\0')
        return;
    // One line at a time, so lines from several threads do not interleave.
    flockfile(stderr);
    va_list args;
    va_start(args, pszFormat);
    vfprintf(stderr, pszFormat, args);
    va_end(args);
    fputc('\n', stderr);
    funlockfile(stderr);
}
