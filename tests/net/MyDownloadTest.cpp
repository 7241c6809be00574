#include "net/MyDownload.h"

#include "TestSupport.h"
#include "config/FileHandler.h"
#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

// Background jobs report through the event loop of the main thread.
void EnsureApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int s_nArgc = 1;
    static char s_szName[] = "orvanta_net_tests";
    static char* s_argv[] = {s_szName, nullptr};
    static QCoreApplication s_app(s_nArgc, s_argv);
}

// Runs the event loop until the condition holds; the deadline only keeps a broken job from
// hanging the test program.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Records every answer it gets, in a list that outlives it.
class CReceiver : public QObject
{
public:
    using Answers = std::vector<std::pair<uintptr_t, intptr_t>>;
    CReceiver(uint32_t uMessage, Answers& answers) : m_uMessage(uMessage), m_answers(answers) {}

    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr || pMessage->GetMessage() != m_uMessage)
            return QObject::event(pEvent);
        m_answers.emplace_back(pMessage->GetWParam(), pMessage->GetLParam());
        return true;
    }

private:
    uint32_t m_uMessage;
    Answers& m_answers;
};

// Counts the jobs that have been deleted, so a test knows when a job's thread is done.
std::atomic<int> g_nJobsEnded{0};
class CCountedDownload : public CMyDownload
{
public:
    ~CCountedDownload() override { ++g_nJobsEnded; }
};

std::string Text(const CMyBuffer& buffer)
{
    return buffer.GetData() == nullptr ? std::string()
                                       : std::string(buffer.GetData(), buffer.GetUsed());
}

bool TailIsZero(const CMyBuffer& buffer)
{
    return std::all_of(buffer.GetData() + buffer.GetUsed(), buffer.GetData() + buffer.GetCapacity(),
                       [](char c) { return c == 0; });
}

class Download : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        EnsureApplication();
        setenv("no_proxy", "127.0.0.1", 1);
        g_nJobsEnded = 0;
        m_pFileReceiver = std::make_unique<CReceiver>(m_uFileMessage, m_answers);
        m_pBufferReceiver = std::make_unique<CReceiver>(m_uBufferMessage, m_answers);
        m_body = std::string(100000, '\0');
        for (size_t i = 0; i < m_body.size(); ++i)
            m_body[i] = static_cast<char>('a' + i % 26);

        Content("/body", m_body);
        Content("/empty", "");
        Content("/mib", std::string(CMyBuffer::GROW_BY, 'm'));
        m_server.Get(R"(/status/(\d+))",
                     [](const httplib::Request& request, httplib::Response& response)
                     {
                         response.status = std::stoi(request.matches[1]);
                         response.set_content("an error page", "text/plain");
                     });
        m_server.Get(
            R"(/echo/(\d+))", [](const httplib::Request& request, httplib::Response& response)
            { response.set_content("job " + std::string(request.matches[1]), "text/plain"); });
        m_server.Get("/headers",
                     [](const httplib::Request& request, httplib::Response& response)
                     {
                         response.set_content(request.get_header_value("User-Agent") + "|" +
                                                  request.get_header_value("Accept") + "|" +
                                                  request.get_header_value("Cache-Control") + "|" +
                                                  request.get_header_value("Pragma"),
                                              "text/plain");
                     });
        m_server.Get("/moved", [](const httplib::Request&, httplib::Response& response)
                     { response.set_redirect("/echo/7"); });
        m_server.Get("/to-file", [](const httplib::Request&, httplib::Response& response)
                     { response.set_redirect("file:///etc/hostname"); });
        m_server.Get("/slow",
                     [](const httplib::Request&, httplib::Response& response)
                     {
                         response.set_chunked_content_provider(
                             "text/plain",
                             [](size_t uOffset, httplib::DataSink& sink)
                             {
                                 if (uOffset >= 50)
                                 {
                                     sink.done();
                                     return true;
                                 }
                                 std::this_thread::sleep_for(std::chrono::milliseconds(150));
                                 return sink.write("0123456789", 10);
                             });
                     });
        // Announces 100 bytes and breaks the connection after 50.
        m_server.Get("/cut",
                     [](const httplib::Request&, httplib::Response& response)
                     {
                         response.set_content_provider(
                             100, "text/plain",
                             [](size_t uOffset, size_t, httplib::DataSink& sink) {
                                 return uOffset == 0 && sink.write(std::string(50, 'c').data(), 50);
                             });
                     });
        // Answers only once the test releases it.
        m_server.Get("/hold",
                     [this](const httplib::Request&, httplib::Response& response)
                     {
                         std::unique_lock lock(m_mutex);
                         m_condition.wait(lock, [this] { return m_bReleased; });
                         response.set_content("held", "text/plain");
                     });

        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(m_nPort, 0);
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void TearDown() override
    {
        Release();
        m_server.stop();
        m_thread.join();
        ScratchHome::TearDown();
    }

    void StartFile(const std::string& strPath, const std::string& strTarget, uintptr_t uCookie)
    {
        EXPECT_TRUE((new CCountedDownload)
                        ->StartFileDownload(Url(strPath), Path(strTarget).c_str(),
                                            m_pFileReceiver.get(), m_uFileMessage, uCookie));
    }
    void StartBuffer(const std::string& strPath, uintptr_t uCookie)
    {
        EXPECT_TRUE((new CCountedDownload)
                        ->StartBufferDownload(Url(strPath), m_pBufferReceiver.get(),
                                              m_uBufferMessage, uCookie));
    }
    // Waits until that many jobs have ended; answers what they sent, ordered by cookie.
    CReceiver::Answers WaitForJobs(int nJobs)
    {
        EXPECT_TRUE(WaitFor([nJobs] { return g_nJobsEnded == nJobs; }));
        CReceiver::Answers answers = m_answers;
        m_answers.clear();
        std::sort(answers.begin(), answers.end(),
                  [](const auto& left, const auto& right) { return left.second < right.second; });
        return answers;
    }
    void Content(const char* pszPath, const std::string& body)
    {
        m_server.Get(pszPath, [body](const httplib::Request&, httplib::Response& response)
                     { response.set_content(body, "text/plain"); });
    }
    CMyString Url(const std::string& strPath) const
    {
        return CMyString(("http://127.0.0.1:" + std::to_string(m_nPort) + strPath).c_str());
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_bReleased = true;
        m_condition.notify_all();
    }
    size_t FilesInScratch() const
    {
        auto entries = std::filesystem::directory_iterator(m_root);
        return static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_nPort = 0;
    std::string m_body;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_bReleased = false;
    const uint32_t m_uFileMessage = RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE);
    const uint32_t m_uBufferMessage = RegisterWindowMessage(MESSAGE_BUFFER_DOWNLOAD_COMPLETE);
    CReceiver::Answers m_answers;
    std::unique_ptr<CReceiver> m_pFileReceiver;
    std::unique_ptr<CReceiver> m_pBufferReceiver;
};

} // namespace

TEST(MyBuffer, GrowsInSteps_KeepsAZeroTail_CopiesAndClears)
{
    CMyBuffer buffer;
    buffer.Append("", 0);
    EXPECT_EQ(buffer.GetData(), nullptr);

    const std::string block(10239, 'b');
    while (buffer.GetUsed() + block.size() < CMyBuffer::GROW_BY)
        buffer.Append(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ(buffer.GetCapacity(), CMyBuffer::GROW_BY);
    // Filling the block to the last byte would leave no NUL behind the text: it grows.
    const uint32_t uRest = CMyBuffer::GROW_BY - buffer.GetUsed();
    buffer.Append(block.data(), uRest);
    EXPECT_EQ(buffer.GetUsed(), CMyBuffer::GROW_BY);
    EXPECT_EQ(buffer.GetCapacity(), 2 * CMyBuffer::GROW_BY);
    EXPECT_TRUE(TailIsZero(buffer));
    EXPECT_EQ(Text(buffer), std::string(CMyBuffer::GROW_BY, 'b'));

    const std::string large(3 * CMyBuffer::GROW_BY, 'l');
    buffer.Append(large.data(), static_cast<uint32_t>(large.size()));
    EXPECT_EQ(buffer.GetCapacity(), 5 * CMyBuffer::GROW_BY);

    const CMyBuffer copy(buffer);
    EXPECT_NE(copy.GetData(), buffer.GetData());
    EXPECT_EQ(copy.GetCapacity(), buffer.GetCapacity());
    EXPECT_EQ(Text(copy), Text(buffer));
    EXPECT_TRUE(TailIsZero(copy));

    buffer.Clear();
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.GetCapacity(), 0u);
    const CMyBuffer emptyCopy(buffer);
    EXPECT_EQ(emptyCopy.GetData(), nullptr);
    EXPECT_EQ(emptyCopy.GetUsed(), 0u);
}

TEST_F(Download, Status200FillsTheBufferAndTheFile)
{
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/body")));
    EXPECT_EQ(Text(job.GetBuffer()), m_body);
    EXPECT_TRUE(TailIsZero(job.GetBuffer()));
    // The buffer can be saved as it is, followed by one NUL.
    EXPECT_TRUE(CFileHandler().WriteBufferFile(Path("saved").c_str(), job.GetBuffer()));
    EXPECT_EQ(Read("saved"), m_body + '\0');

    Write("list.xml", "old content");
    StartFile("/body", "list.xml", 41);
    EXPECT_EQ(WaitForJobs(1), (CReceiver::Answers{{1, 41}}));
    EXPECT_EQ(Read("list.xml"), m_body);
    EXPECT_EQ(FilesInScratch(), 2u); // "saved" and "list.xml": no temporary file is left
    EXPECT_EQ(std::filesystem::status(Path("list.xml")).permissions() &
                  std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);
}

TEST_F(Download, FailuresAnswerFalseAndLeaveNoFile)
{
    CMyDownload job;
    EXPECT_FALSE(job.DownloadToBuffer(CMyString()));
    for (const char* pszPath : {"/status/404", "/status/500", "/status/204", "/cut", "/to-file"})
    {
        EXPECT_FALSE(job.DownloadToBuffer(Url(pszPath))) << pszPath;
        EXPECT_EQ(job.GetBuffer().GetData(), nullptr) << pszPath;
    }
    CLocalSocket closed(-1);
    EXPECT_FALSE(job.DownloadToBuffer(CMyString(closed.Url().c_str())));

    // File jobs create nothing, and an existing file keeps its whole old content.
    Write("kept.xml", "old content");
    StartFile("/status/404", "new.xml", 0);
    StartFile("/status/500", "kept.xml", 1);
    StartFile("/cut", "kept.xml", 2);
    StartFile("/body", "missing/folder/new.xml", 3);
    // A buffer job reports its failure with a null buffer.
    StartBuffer("/status/404", 4);
    EXPECT_EQ(WaitForJobs(5), (CReceiver::Answers{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}));
    EXPECT_EQ(Read("kept.xml"), "old content");
    EXPECT_EQ(FilesInScratch(), 1u);
}

TEST_F(Download, EmptyBodyIsASuccess)
{
    CMyDownload job;
    EXPECT_TRUE(job.DownloadToBuffer(Url("/empty")));
    EXPECT_EQ(job.GetBuffer().GetUsed(), 0u);

    Write("empty.xml", "old content");
    StartFile("/empty", "empty.xml", 1);
    StartBuffer("/empty", 2);
    const CReceiver::Answers answers = WaitForJobs(2);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], (std::pair<uintptr_t, intptr_t>{1, 1}));
    EXPECT_EQ(Read("empty.xml"), "");
    // A buffer that exists but holds nothing.
    std::unique_ptr<CMyBuffer> pBuffer(reinterpret_cast<CMyBuffer*>(answers[1].first));
    ASSERT_NE(pBuffer, nullptr);
    EXPECT_EQ(pBuffer->GetUsed(), 0u);
    EXPECT_EQ(pBuffer->GetData(), nullptr);
}

TEST_F(Download, OneMebibyteBodyGrowsTheBufferOnce)
{
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/mib")));
    EXPECT_EQ(job.GetBuffer().GetUsed(), CMyBuffer::GROW_BY);
    EXPECT_EQ(job.GetBuffer().GetCapacity(), 2 * CMyBuffer::GROW_BY);
    EXPECT_TRUE(TailIsZero(job.GetBuffer()));
}

TEST_F(Download, SlowBodyAndRedirectArriveWhole)
{
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/slow")));
    EXPECT_EQ(Text(job.GetBuffer()), "01234567890123456789012345678901234567890123456789");
    ASSERT_TRUE(job.DownloadToBuffer(Url("/moved")));
    EXPECT_EQ(Text(job.GetBuffer()), "job 7");
}

TEST_F(Download, SendsAgentAcceptAndNoCacheOnReload)
{
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/headers")));
    EXPECT_EQ(Text(job.GetBuffer()), "Marquint|*/*||");
    job.SetReload(true);
    ASSERT_TRUE(job.DownloadToBuffer(Url("/headers")));
    EXPECT_EQ(Text(job.GetBuffer()), "Marquint|*/*|no-cache|no-cache");

    // File downloads always reload.
    StartFile("/headers", "h.txt", 0);
    WaitForJobs(1);
    EXPECT_EQ(Read("h.txt"), "Marquint|*/*|no-cache|no-cache");
}

TEST_F(Download, JobsWhoseReceiverIsGoneEndQuietly)
{
    StartFile("/hold", "late.xml", 5);
    // The copy that nobody can take is freed by the job (the leak checker would see it).
    StartBuffer("/hold", 6);
    m_pFileReceiver.reset();
    m_pBufferReceiver.reset();
    Release();
    EXPECT_TRUE(WaitForJobs(2).empty());
    EXPECT_EQ(Read("late.xml"), "held");
    EXPECT_EQ(FilesInScratch(), 1u);
}

TEST_F(Download, ManyJobsAtOnceAnswerOnceEach)
{
    constexpr size_t uJobs = 20;
    for (size_t i = 0; i < uJobs; ++i)
        StartBuffer("/echo/" + std::to_string(i), i);
    const CReceiver::Answers answers = WaitForJobs(static_cast<int>(uJobs));
    ASSERT_EQ(answers.size(), uJobs);
    for (size_t i = 0; i < uJobs; ++i)
    {
        std::unique_ptr<CMyBuffer> pBuffer(reinterpret_cast<CMyBuffer*>(answers[i].first));
        EXPECT_EQ(answers[i].second, static_cast<intptr_t>(i));
        ASSERT_NE(pBuffer, nullptr);
        EXPECT_EQ(Text(*pBuffer), "job " + std::to_string(i));
    }
}
