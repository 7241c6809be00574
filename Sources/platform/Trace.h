#pragma once

// Debug output: one line on standard error when the environment variable ORVANTA_DEBUG is set,
// nothing otherwise.
void Trace(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
