#include "directory/StreamUrl.h"

namespace
{
// The schemes of the network protocols the player's engine streams from.
constexpr std::string_view STREAM_SCHEMES[] = {
    "http", "https", "rtmp", "rtmps", "rtmpe", "rtmpt", "rtmpte", "rtmpts",
    "rtsp", "rtsps", "mms",  "mmsh",  "mmst",  "udp",   "rtp",    "srt"};
} // namespace

bool IsNetworkStreamUrl(std::string_view url)
{
    for (const char c : url)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    const size_t uSeparator = url.find("://");
    if (uSeparator == std::string_view::npos)
        return false;
    const std::string_view scheme = url.substr(0, uSeparator);
    bool bKnown = false;
    for (const std::string_view known : STREAM_SCHEMES)
        bKnown = bKnown || IsEqualNoCaseAscii(scheme, known);
    if (!bKnown)
        return false;
    // The host part runs up to the path, the query or the fragment; it may not be empty.
    const std::string_view rest = url.substr(uSeparator + 3);
    return !rest.empty() && rest.find_first_of("/?#") != 0;
}

bool IsNetworkStreamUrl(const CMyString& strUrl)
{
    if (strUrl.IsEmpty())
        return false;
    return IsNetworkStreamUrl(std::string_view(strUrl.GetBuffer(), strUrl.GetLength()));
}
