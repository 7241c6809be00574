#pragma once

#include "text/MyString.h"

#include <string>
#include <vector>

// Runs a program (argument vector, no shell, looked up in PATH) and collects what it writes to
// standard output, up to uMaxBytes. A program that has not finished within nTimeoutMs is killed.
// True when it ran and ended with status 0.
bool CaptureProgramOutput(const CMyString& strProgram, const std::vector<CMyString>& arrArguments,
                          int nTimeoutMs, std::string& output, size_t uMaxBytes = 65536);
