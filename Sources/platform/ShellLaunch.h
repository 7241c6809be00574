#pragma once

#include "text/MyString.h"

#include <vector>

// Starts a program with an argument vector, never through a shell, so no URL or search text can
// become a command. A program name without "/" is looked up in PATH. The child runs on its own;
// it is reaped in the background. False when it could not be started.
bool LaunchProgram(const CMyString& strProgram, const std::vector<CMyString>& arrArguments);

// Opens a page in the given browser executable, or with "xdg-open" when strBrowser is empty.
bool OpenPage(const CMyString& strBrowser, const CMyString& strUrl);
