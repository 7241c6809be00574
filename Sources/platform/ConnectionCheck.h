#pragma once

#include "text/MyString.h"

// Prepares libcurl for the whole process. Safe to call more than once and from any thread; every
// network operation of the program calls it before its first transfer.
void InitNetworking();

// Whether a connection can be opened to the host and port of the URL (through the proxy named
// by http_proxy / https_proxy when one is set), without sending a request. Gives up after
// nConnectTimeoutSeconds, so a dead server cannot hold its caller for long.
bool CheckConnection(const CMyString& strUrl, long nConnectTimeoutSeconds = 5);
