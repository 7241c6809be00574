#pragma once

#include "text/MyString.h"

#include <vector>

// Starts a program with an argument vector, never through a shell, so no URL or search text can
// become a command. A program name without "/" is looked up in PATH. The child runs on its own;
// it is reaped in the background. False when it could not be started.
bool LaunchProgram(const CMyString& strProgram, const std::vector<CMyString>& arrArguments);

// The address a browser may be given for strUrl: http and https addresses as they are, a host
// name starting with "www." as an http address; empty for anything else (files, other schemes,
// words a browser would read as options).
CMyString BrowserAddress(const CMyString& strUrl);
// Opens a page in the given browser executable, or with "xdg-open" when strBrowser is empty.
// False when the address is refused (see BrowserAddress) or nothing could be started.
bool OpenPage(const CMyString& strBrowser, const CMyString& strUrl);
