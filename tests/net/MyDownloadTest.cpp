#include "net/MyDownload.h"

#include "TestHttpServer.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

namespace
{
// Counts the jobs deleted: a job's thread is done.
std::atomic<int> g_nJobsEnded{0};
struct CCountedDownload : CMyDownload
{
    ~CCountedDownload() override { ++g_nJobsEnded; }
};

std::string Text(const CMyBuffer& buffer)
{
    return std::string(buffer.GetData() == nullptr ? "" : buffer.GetData(), buffer.GetUsed());
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

    // Starts a job on its own thread: into the file, or into a buffer when there is none.
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
    std::unique_ptr<CAnswerRecorder> m_pReceiver = std::make_unique<CAnswerRecorder>(m_answers);
};
} // namespace

TEST_F(Download, Status200FillsTheBufferAndTheFileWithTheRightHeaders)
{
    // One step of body fills the first step to the last byte: the buffer grows by a whole step
    // and keeps the rest zero, so that its text ends.
    CMyDownload job;
    ASSERT_TRUE(job.DownloadToBuffer(Url("/body")));
    EXPECT_EQ(Text(job.GetBuffer()), m_body);
    EXPECT_EQ(job.GetBuffer().GetCapacity(), 2 * CMyBuffer::GROW_BY);
    const CMyBuffer& buffer = job.GetBuffer();
    EXPECT_TRUE(std::all_of(buffer.GetData() + buffer.GetUsed(),
                            buffer.GetData() + buffer.GetCapacity(),
                            [](char c) { return c == 0; }));
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
    EXPECT_EQ(Why(Url("/body?status=204")), "HTTP status 204");
    EXPECT_EQ(Why(CLocalSocket(-1).Url().c_str()), "connection refused");
    ASSERT_TRUE(job.DownloadToBuffer(Url("/echo/fine")));
    EXPECT_TRUE(job.GetResult().Describe().IsEmpty());
    // File jobs create nothing; a buffer job answers no buffer.
    setenv("ORVANTA_DEBUG", "1", 1);
    Write("plain.txt", "a file, not a folder");
    testing::internal::CaptureStderr();
    Start("/body?status=404", 0, "new.xml");
    Start("/body?status=404", 1);
    Start("/body", 2, "plain.txt/icon.gif");
    EXPECT_EQ(WaitForJobs(3), (Answers{{0, 0}, {1, 0}, {2, 0}}));
    const std::string strTrace = testing::internal::GetCapturedStderr();
    unsetenv("ORVANTA_DEBUG");
    EXPECT_EQ(FilesInScratch(), 1u);
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
