#include "platform/ConnectionCheck.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{

sockaddr_in Loopback(int nPort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    return addr;
}

// A port where nobody listens, so connections to it are refused.
CMyString RefusingUrl()
{
    return CLocalSocket(-1).Url().c_str();
}

// Sets or removes an environment variable for the life of the object.
class CScopedEnv
{
public:
    CScopedEnv(const char* pszName, const char* pszValue) : m_strName(pszName)
    {
        if (const char* pszOld = getenv(pszName))
            m_strOld = pszOld;
        pszValue != nullptr ? setenv(pszName, pszValue, 1) : unsetenv(pszName);
    }
    ~CScopedEnv()
    {
        m_strOld ? setenv(m_strName.c_str(), m_strOld->c_str(), 1) : unsetenv(m_strName.c_str());
    }

private:
    std::string m_strName;
    std::optional<std::string> m_strOld;
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every case starts without proxy variables from the caller's environment.
class ConnectionCheck : public testing::Test
{
    CScopedEnv m_http{"http_proxy", nullptr}, m_all{"all_proxy", nullptr},
        m_allUpper{"ALL_PROXY", nullptr}, m_no{"no_proxy", nullptr}, m_noUpper{"NO_PROXY", nullptr};
};

} // namespace

TEST_F(ConnectionCheck, ListeningServerAndClosedPort)
{
    CLocalSocket server(5);
    EXPECT_TRUE(CheckConnection(CMyString(server.Url().c_str()), 5));

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(RefusingUrl(), 30));
    EXPECT_LT(SecondsSince(start), 10.0) << "a refused connection must not wait for the timeout";
}

TEST_F(ConnectionCheck, ServerThatNeverAnswersGivesUp)
{
    // With a backlog of 0 and the accept queue full, the kernel drops further SYNs, so the
    // next connection attempt hangs until the caller gives up.
    CLocalSocket server(0);
    std::vector<int> arrClients;
    for (int i = 0; i < 4; ++i)
    {
        int nFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in addr = Loopback(server.Port());
        connect(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        arrClients.push_back(nFd);
    }
    usleep(100000);

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckConnection(CMyString(server.Url().c_str()), 1));
    EXPECT_LT(SecondsSince(start), 15.0);
    for (int nFd : arrClients)
        close(nFd);
}

TEST_F(ConnectionCheck, MalformedUrls)
{
    for (const char* pszUrl : {"", "not a url", "http://", "127.0.0.1", "://x", "http://[::1"})
        EXPECT_FALSE(CheckConnection(pszUrl, 5)) << pszUrl;
}

TEST_F(ConnectionCheck, ConnectsThroughTheProxyFromTheEnvironment)
{
    CLocalSocket server(5);
    CMyString strRefusing = RefusingUrl();
    {
        // A dead proxy makes a reachable server unreachable...
        CScopedEnv proxy("http_proxy", strRefusing.GetBuffer());
        EXPECT_FALSE(CheckConnection(CMyString(server.Url().c_str()), 5));
    }
    {
        // ...and a live proxy makes a dead server look reachable: only the proxy is contacted.
        CScopedEnv proxy("http_proxy", server.Url().c_str());
        EXPECT_TRUE(CheckConnection(strRefusing, 5));
    }
    EXPECT_TRUE(CheckConnection(CMyString(server.Url().c_str()), 5));
}
