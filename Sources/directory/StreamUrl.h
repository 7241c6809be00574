#pragma once

#include "text/MyString.h"

#include <string_view>

// Whether an address names a stream on the network that the player may open: one of the
// streaming schemes (http, https, the rtmp family, rtsp, rtsps, mms, mmsh, mmst, udp, rtp, srt),
// compared ignoring case, then "://" and a host. Local paths, "file:", "data:" and every other
// scheme answer false, and so does an address holding control characters, which no request
// line may carry.
bool IsNetworkStreamUrl(std::string_view url);
bool IsNetworkStreamUrl(const CMyString& strUrl);
