#include "platform/ConnectionCheck.h"

#include "TestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
// Without proxy variables from the caller's environment.
class ConnectionCheck : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* pszName : {"http_proxy", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            unsetenv(pszName);
    }
};
} // namespace

TEST_F(ConnectionCheck, ListeningSilentAndClosedServersAndMalformedUrls)
{
    const CLocalSocket server(5);
    EXPECT_TRUE(CheckConnection(CMyString(server.Url().c_str()), 5));
    for (const char* pszUrl : {"", "not a url", "http://", "127.0.0.1", "://x", "http://[::1"})
        EXPECT_FALSE(CheckConnection(pszUrl, 5)) << pszUrl;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(CLocalSocket(-1).Url().c_str(), 30));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // With a backlog of 0 and the accept queue full, the kernel drops further connection
    // attempts: the next one waits until the caller gives up.
    const CLocalSocket silent(0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(silent.Port()));
    std::vector<int> arrClients;
    for (int i = 0; i < 4; ++i)
    {
        arrClients.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(arrClients.back(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    usleep(100000);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(CMyString(silent.Url().c_str()), 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    for (int nFd : arrClients)
        close(nFd);
}

TEST_F(ConnectionCheck, ConnectsThroughTheProxyFromTheEnvironment)
{
    const CLocalSocket server(5);
    const std::string strRefusing = CLocalSocket(-1).Url();
    setenv("http_proxy", strRefusing.c_str(), 1);
    EXPECT_FALSE(CheckConnection(CMyString(server.Url().c_str()), 5));
    setenv("http_proxy", server.Url().c_str(), 1);
    EXPECT_TRUE(CheckConnection(CMyString(strRefusing.c_str()), 5));
    unsetenv("http_proxy");
}
