#include "net/MyDownload.h"

#include "TestHttpServer.h"
#include "TestSupport.h"
#include "platform/WindowMessage.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <utility>

namespace
{

// The answers of download jobs: cookie (lParam) to result (wParam).
using Answers = std::multimap<intptr_t, uintptr_t>;

// Records the answers in a list that outlives it.
struct CReceiver : QObject
{
    explicit CReceiver(Answers& answers) : m_answers(answers) {}
    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage != nullptr)
            m_answers.emplace(pMessage->GetLParam(), pMessage->GetWParam());
        return pMessage != nullptr || QObject::event(pEvent);
    }
    Answers& m_answers;
};

// Counts the jobs deleted, so a test knows when a job's thread is done.
std::atomic<int> g_nJobsEnded{0};
struct CCountedDownload : CMyDownload
{
    ~CCountedDownload() override { ++g_nJobsEnded; }
};

std::string Text(const CMyBuffer& buffer)
{
    return std::string(buffer.GetData() == nullptr ? "" : buffer.GetData(), buffer.GetUsed());
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
        TestApplication();
        setenv("no_proxy", "127.0.0.1", 1);
        g_nJobsEnded = 0;
    }
    CMyString Url(const std::string& strPath) const { return m_server.Url(strPath).c_str(); }

    // Starts a job on its own thread: into the file, or into a buffer when strTarget is empty.
    void Start(const std::string& strPath, uintptr_t uCookie, const std::string& strTarget = "")
    {
        CMyDownload* pJob = new CCountedDownload;
        EXPECT_TRUE(strTarget.empty()
                        ? pJob->StartBufferDownload(Url(strPath), m_pReceiver.get(),
                                                    m_uBufferMessage, uCookie)
                        : pJob->StartFileDownload(Url(strPath), Path(strTarget).c_str(),
                                                  m_pReceiver.get(), m_uFileMessage, uCookie));
    }
    Answers WaitForJobs(int nJobs)
    {
        EXPECT_TRUE(PumpEventsUntil([nJobs] { return g_nJobsEnded == nJobs; }));
        return std::exchange(m_answers, {});
    }
    size_t FilesInScratch() const
    {
        auto entries = std::filesystem::directory_iterator(m_root);
        return static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }

    CTestHttpServer m_server;
    const std::string m_body = m_server.Body();
    const uint32_t m_uFileMessage = RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE);
    const uint32_t m_uBufferMessage = RegisterWindowMessage(MESSAGE_BUFFER_DOWNLOAD_COMPLETE);
    Answers m_answers;
    std::unique_ptr<CReceiver> m_pReceiver = std::make_unique<CReceiver>(m_answers);
};

} // namespace

TEST_F(Download, Status200FillsTheBufferAndTheFileWithTheRightHeaders)
{
    // Exactly one step of body fills the first step to the last byte: the buffer grows once,
    // by a whole step, and keeps the rest zero so that its text ends.
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/body")));
    EXPECT_EQ(Text(job.GetBuffer()), m_body);
    EXPECT_EQ(job.GetBuffer().GetCapacity(), 2 * CMyBuffer::GROW_BY);
    EXPECT_TRUE(TailIsZero(job.GetBuffer()));
    ASSERT_TRUE(job.DownloadToBuffer(Url("/slow")));
    EXPECT_EQ(Text(job.GetBuffer()), "01234567890123456789012345678901234567890123456789");
    ASSERT_TRUE(job.DownloadToBuffer(Url("/headers")));
    EXPECT_EQ(Text(job.GetBuffer()), "Marquint|*/*|||");
    job.SetReload(true);
    ASSERT_TRUE(job.DownloadToBuffer(Url("/headers")));
    EXPECT_EQ(Text(job.GetBuffer()), "Marquint|*/*|no-cache|no-cache|");

    Write("list.xml", "old content");
    Write("empty.xml", "old content");
    Start("/body", 1, "list.xml");
    Start("/empty", 2, "empty.xml");
    Start("/headers", 3, "headers.txt"); // file downloads always reload
    Start("/empty", 4);
    Answers answers = WaitForJobs(4);
    ASSERT_EQ(answers.count(4), 1u);
    std::unique_ptr<CMyBuffer> pBuffer(reinterpret_cast<CMyBuffer*>(answers.find(4)->second));
    ASSERT_NE(pBuffer, nullptr); // an empty body is a buffer that holds nothing
    EXPECT_EQ(pBuffer->GetUsed(), 0u);
    answers.erase(4);
    EXPECT_EQ(answers, (Answers{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(Read("list.xml"), m_body);
    EXPECT_EQ(Read("empty.xml"), "");
    EXPECT_EQ(Read("headers.txt"), "Marquint|*/*|no-cache|no-cache|");
    EXPECT_EQ(FilesInScratch(), 3u); // no temporary file is left behind
    EXPECT_EQ(std::filesystem::status(Path("list.xml")).permissions() &
                  std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);
}

// Every failure answers false, leaves no file and names its reason: to the caller of a download
// on its own thread, and for the jobs on threads of their own in the trace.
TEST_F(Download, FailuresSayWhyAndLeaveNoFile)
{
    CMyDownload job;
    const auto Why = [&job](const CMyString& strUrl)
    {
        EXPECT_FALSE(job.DownloadToBuffer(strUrl));
        EXPECT_EQ(job.GetBuffer().GetData(), nullptr);
        const CMyString strReason = job.GetResult().Describe();
        return std::string(strReason.IsEmpty() ? "" : strReason.GetBuffer());
    };
    EXPECT_EQ(Why(CMyString()), "no address");
    EXPECT_EQ(Why(Url("/body?status=404")), "HTTP status 404");
    EXPECT_EQ(job.GetResult().failure, DownloadFailure::HttpStatus);
    EXPECT_EQ(job.GetResult().nHttpStatus, 404);
    EXPECT_EQ(Why(Url("/body?status=500")), "HTTP status 500");
    EXPECT_EQ(Why(Url("/body?status=204")), "HTTP status 204");
    EXPECT_EQ(Why(CLocalSocket(-1).Url().c_str()), "connection refused");
    EXPECT_TRUE(Why(Url("/bad/truncated/x")).starts_with("network error: transfer closed"));
    job.SetLimits(100, 1);
    EXPECT_EQ(Why(Url("/body")), "too large: more than 100 bytes");
    EXPECT_TRUE(Why(Url("/echo/late?hold")).starts_with("timed out: Operation timed out after"));
    ASSERT_TRUE(job.DownloadToBuffer(Url("/echo/fine")));
    EXPECT_TRUE(job.GetResult().Succeeded());
    EXPECT_TRUE(job.GetResult().Describe().IsEmpty());

    // File jobs create nothing, and an existing file keeps its whole old content; a buffer job
    // reports failure with a null buffer.
    setenv("ORVANTA_DEBUG", "1", 1);
    Write("kept.xml", "old content");
    Write("plain.txt", "a file, not a folder");
    testing::internal::CaptureStderr();
    Start("/body?status=404", 0, "new.xml");
    Start("/body?status=500", 1, "kept.xml");
    Start("/bad/truncated/x", 2, "kept.xml");
    Start("/body?status=404", 3);
    Start("/body", 4, "plain.txt/icon.gif");
    EXPECT_EQ(WaitForJobs(5), (Answers{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    const std::string strTrace = testing::internal::GetCapturedStderr();
    unsetenv("ORVANTA_DEBUG");
    EXPECT_EQ(Read("kept.xml"), "old content");
    EXPECT_EQ(FilesInScratch(), 2u);
    for (const std::string& strLine :
         {"Download of " + m_server.Url("/body") +
              " failed: cannot write: " + Path("plain.txt/icon.gif") + ": Not a directory\n",
          "Download of " + m_server.Url("/body?status=404") + " failed: HTTP status 404\n"})
        EXPECT_NE(strTrace.find(strLine), std::string::npos) << strTrace;
}

TEST_F(Download, JobsWhoseReceiverIsGoneEndQuietly)
{
    // The buffer job frees the copy nobody can take (the leak checker would see it).
    Start("/echo/5?hold", 5, "late.xml");
    Start("/echo/6?hold", 6);
    m_pReceiver.reset();
    m_server.Release();
    EXPECT_TRUE(WaitForJobs(2).empty());
    EXPECT_EQ(Read("late.xml"), "job 5");
}
