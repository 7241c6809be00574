#pragma once

#include "text/ArrayString.h"
#include "text/MyString.h"

// Name of the server list in a res folder.
inline constexpr const char* SERVER_SETTINGS_FILE = "ServerSettings.txt";
// Name of the update description on every server; the server walks test it.
inline constexpr const char* UPDATE_SETTINGS_FILE = "UpdateSettings.txt";

// Reads a decoded server list: appends the non-empty URL children of the root in document
// order and answers the last VERSION child's value in strVersion (and in *pbHasVersion whether
// there was one). False when the text does not parse (nothing is appended then).
bool ParseServerList(const CMyString& strText, CArrayString& arrServers, CMyString& strVersion,
                     bool* pbHasVersion = nullptr);

// The rule every user of the server list follows: the first server, in list order, whose
// connection check on server URL + strFileName succeeds; empty when none does.
CMyString SelectServer(const CArrayString& arrServers, const CMyString& strFileName);
