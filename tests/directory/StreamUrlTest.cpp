#include "directory/StreamUrl.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

TEST(StreamUrlTest, OnlyStreamingSchemesWithAHostAreNetworkStreams)
{
    for (const char* pszUrl :
         {"http://127.0.0.1:8719/a.ts", "HTTPS://cdn.example/live/index.m3u8?token=a&b=c",
          "rtmp://media.example/live/stream", "rtsp://cam.example:554/1", "mms://old.example/tv",
          "udp://@239.0.0.1:1234", "srt://relay.example:9000?mode=caller", "rtp://10.0.0.1:5004"})
        EXPECT_TRUE(IsNetworkStreamUrl(CMyString(pszUrl))) << pszUrl;

    for (const char* pszUrl :
         {"", "Folder", "/home/user/video.ts", "file:///etc/passwd", "FILE://host/x",
          "data:video/mp2t;base64,AAAA", "javascript://x", "ftp://files.example/a.ts", "http://",
          "http:///path", "http:/host/x", "://host", "httpx://host/", "memory://text",
          "av://lavfi:testsrc", "http://host/\r\nX: y", "http://host/a\tb"})
        EXPECT_FALSE(IsNetworkStreamUrl(CMyString(pszUrl))) << pszUrl;
}

} // namespace
