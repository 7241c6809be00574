#pragma once

// Helpers shared by the tests: a scratch home folder per test, and local TCP ports.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// Defined under AddressSanitizer or ThreadSanitizer, which the web engine's own code trips: tests
// that load pages run only in ordinary builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORVANTA_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORVANTA_SANITIZED_BUILD 1
#endif
#endif

// A fresh home for one test, with configuration, data and runtime folders of its own: every
// test starts as a new account, and single-instance locks of tests run at once never meet.
class ScratchHome : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string folder = ::testing::TempDir() + "home-XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        m_root = folder;
        m_strRoot = folder + "/";
        setenv("HOME", folder.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
        // Beside the home, whose entries some tests count; mkdtemp makes it private.
        const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
        m_strOldRuntime = pszRuntime != nullptr ? pszRuntime : "";
        m_strRuntime = ::testing::TempDir() + "runtime-XXXXXX";
        ASSERT_NE(mkdtemp(m_strRuntime.data()), nullptr);
        setenv("XDG_RUNTIME_DIR", m_strRuntime.c_str(), 1);
    }
    void TearDown() override
    {
        if (m_strOldRuntime.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", m_strOldRuntime.c_str(), 1);
        std::filesystem::remove_all(m_root);
        if (!m_strRuntime.empty())
            std::filesystem::remove_all(m_strRuntime);
    }

    std::filesystem::path StorePath() const { return m_root / "config/ORVANTA/settings.ini"; }
    std::string Path(const std::string& strName) const { return m_strRoot + strName; }
    void Write(const std::string& strName, const std::string& bytes) const
    {
        std::filesystem::create_directories(std::filesystem::path(Path(strName)).parent_path());
        std::ofstream(Path(strName), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& strName) const
    {
        std::ifstream file(Path(strName), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::filesystem::path m_root;
    std::string m_strRoot; // with a trailing separator
    // XDG_RUNTIME_DIR of this test, without a trailing separator.
    std::string m_strRuntime;
    std::string m_strOldRuntime;
};

// A TCP socket on a free port of 127.0.0.1: listening when nBacklog is not negative, otherwise
// bound only, so that connections to it are refused.
class CLocalSocket
{
public:
    explicit CLocalSocket(int nBacklog) : m_nFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t uLength = sizeof address;
        bind(m_nFd, reinterpret_cast<sockaddr*>(&address), uLength);
        getsockname(m_nFd, reinterpret_cast<sockaddr*>(&address), &uLength);
        m_nPort = ntohs(address.sin_port);
        if (nBacklog >= 0)
            listen(m_nFd, nBacklog);
    }
    CLocalSocket(const CLocalSocket&) = delete;
    CLocalSocket& operator=(const CLocalSocket&) = delete;
    ~CLocalSocket() { close(m_nFd); }

    int Port() const { return m_nPort; }
    std::string Url(const std::string& strPath = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath;
    }

private:
    int m_nFd;
    int m_nPort = 0;
};

// The application object that background jobs report through; made on first use, on the thread
// that runs the tests.
inline QCoreApplication& TestApplication()
{
    if (QCoreApplication::instance() == nullptr)
    {
        static int s_nArgc = 1;
        static char s_szName[] = "orvanta-tests";
        static char* s_apszArgv[] = {s_szName, nullptr};
        static QCoreApplication s_application(s_nArgc, s_apszArgv);
    }
    return *QCoreApplication::instance();
}

// Processes events until the condition holds or about nSeconds have passed; answers the
// condition.
template <typename Condition> bool PumpEventsUntil(Condition condition, int nSeconds = 20)
{
    TestApplication();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!condition() && std::chrono::steady_clock::now() < giveUp)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// A three-second MPEG-TS clip (test picture and a tone) made with ffmpeg, for the player's tests;
// empty, with the reason in strError, when ffmpeg cannot make it.
inline std::string MakeClip(std::string& strError)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                            "testsrc=size=160x120:rate=25:duration=3", "-f", "lavfi", "-i",
                            "sine=frequency=440:duration=3", "-c:v", "mpeg2video", "-c:a", "mp2",
                            "-f", "mpegts", "pipe:1"});
    if (!ffmpeg.waitForStarted(10000) || !ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0 ||
        ffmpeg.bytesAvailable() == 0)
    {
        strError = "ffmpeg (package ffmpeg) could not make the test clip: " +
                   ffmpeg.readAllStandardError().toStdString();
        return {};
    }
    return ffmpeg.readAllStandardOutput().toStdString();
}
