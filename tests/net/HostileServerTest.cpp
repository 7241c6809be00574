// The update, the silent check and the background file downloads against a server that
// misbehaves on purpose. After each: nothing outside the res folder, no list replaced by a worse
// one, no half file, the work ended within its limits, and the user was told what a failure says.
// The download limits are capped at a few seconds here (ORVANTA_DOWNLOAD_SECONDS).

#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "net/UpdateCheck.h"
#include "platform/WindowMessage.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kCappedSeconds = 3;
// The longest any case may take: the capped limit and room for a slow machine.
constexpr auto kCaseLimit = std::chrono::seconds(kCappedSeconds + 12);

// Serves a good update description naming "News.txt", and "News.txt" (and "UpdateSettings.txt"
// when bDescriptionToo) in the misbehaviour of the given kind.
class CHostileServer
{
public:
    CHostileServer(const std::string& strKind, bool bDescriptionToo) : m_strKind(strKind)
    {
        m_server.Get(
            "/.*",
            [this, bDescriptionToo](const httplib::Request& request, httplib::Response& response)
            {
                if (request.path == "/UpdateSettings.txt" && !bDescriptionToo)
                    response.set_content("<U><CATEGORY><VERSION>2.0</VERSION><NAME>News.txt</NAME>"
                                         "</CATEGORY></U>",
                                         "text/plain");
                else
                    Misbehave(response);
            });
        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~CHostileServer()
    {
        m_bStopping = true;
        m_server.stop();
        m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/"; }

private:
    void Misbehave(httplib::Response& response)
    {
        const std::string& kind = m_strKind;
        if (kind == "404" || kind == "500")
            response.status = std::stoi(kind);
        else if (kind == "redirect loop")
            response.set_redirect("/again");
        else if (kind == "empty")
            response.set_content("", "text/plain");
        else if (kind == "not a list")
            response.set_content(CFileHandler::Scramble("just some text"), "text/plain");
        else if (kind == "root only")
            response.set_content(CFileHandler::Scramble("<L></L>"), "text/plain");
        else if (kind == "huge")
            response.set_content(std::string(MB(70), 'x'), "text/plain");
        else if (kind == "truncated")
            // Announces more than it sends, then closes the connection.
            response.set_content_provider(1000, "text/plain",
                                          [](size_t, size_t, httplib::DataSink& sink)
                                          {
                                              sink.write("<L><I>", 6);
                                              return false;
                                          });
        else if (kind == "stall" || kind == "trickle" || kind == "endless")
            response.set_chunked_content_provider(
                "text/plain",
                [this, kind](size_t, httplib::DataSink& sink)
                {
                    if (m_bStopping)
                        return false;
                    if (kind == "endless")
                        return sink.write(m_block.data(), m_block.size());
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                    return kind == "stall" || sink.write("x", 1);
                });
    }
    static size_t MB(size_t n) { return n * 1024 * 1024; }

    std::string m_strKind;
    const std::string m_block = std::string(64 * 1024, 'y');
    std::atomic<bool> m_bStopping{false};
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
};

// What the update dialog was told.
class CLoggingView : public IUpdateDialogView
{
public:
    void ShowMessage(const CMyString& strText) override { Log("message: ", strText); }
    bool AskYesNo(const CMyString&) override { return true; }
    bool AskOkCancel(const CMyString& strText) override
    {
        Log("ok/cancel: ", strText);
        return true;
    }
    void SetProgress(int32_t, int32_t, int32_t) override {}
    void ShowStatus(const CMyString& strText) override { Log("status: ", strText); }
    void CloseDialog() override { m_log.push_back("close"); }
    void QuitProgram() override { m_log.push_back("quit"); }
    void RestartProgram(bool bExitNow) override
    {
        m_log.push_back(bExitNow ? "restart now" : "restart after quit");
    }
    void Log(const char* pszWhat, const CMyString& strText)
    {
        m_log.push_back(pszWhat + std::string(strText.IsEmpty() ? "" : strText.GetBuffer()));
    }
    bool Ended() const
    {
        return !m_log.empty() &&
               (m_log.back() == "close" || m_log.back() == "quit" || m_log.back() == "restart now");
    }

    std::vector<std::string> m_log;
};

const char* const kKinds[] = {"404",        "500",       "redirect loop", "empty",
                              "not a list", "root only", "huge",          "truncated",
                              "stall",      "trickle",   "endless"};

class HostileServerTest : public ScratchHome, public ::testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        setenv("ORVANTA_DOWNLOAD_SECONDS", std::to_string(kCappedSeconds).c_str(), 1);
        TestApplication();
    }
    // The server list: a refused port first, then the hostile server.
    void UseServer(const CHostileServer& server)
    {
        const CLocalSocket dead(-1);
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + dead.Url() + "</URL><URL>" + server.Url() +
                                     "</URL></L>"));
    }
    // Every file and folder below the data folder, to see that nothing came or went.
    std::vector<std::string> Entries()
    {
        std::vector<std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root / "data"))
            entries.push_back(entry.path().string());
        std::sort(entries.begin(), entries.end());
        return entries;
    }
    std::vector<std::string> RunUpdate(bool bFirstRun)
    {
        CLoggingView view;
        CUpdateCheck check(view, bFirstRun);
        check.Start();
        EXPECT_TRUE(PumpEventsUntil([&view] { return view.Ended(); }, 40));
        return view.m_log;
    }
};
} // namespace

// A list that fails to arrive whole and good leaves the old one, and an update where nothing
// arrived offers no restart.
TEST_P(HostileServerTest, ListDownloadKeepsTheOldList)
{
    const CHostileServer server(GetParam(), false);
    UseServer(server);
    Write("data/ORVANTA/res/News.txt", StoredList("old"));
    const std::vector<std::string> before = Entries();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunUpdate(false),
              (std::vector<std::string>{"status: Could Not Update News.txt",
                                        "message: Update check failed\nCheck connection to the "
                                        "internet",
                                        "close"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kCaseLimit);
    EXPECT_EQ(Read("data/ORVANTA/res/News.txt"), StoredList("old"));
    EXPECT_EQ(Entries(), before); // no half file, nothing new anywhere
}

// A description that fails: the silent check offers nothing, the first run says it could not
// get the lists and quits, both within the limits.
TEST_P(HostileServerTest, DescriptionFailsQuietlyWithinItsLimit)
{
    const CHostileServer server(GetParam(), true);
    UseServer(server);
    auto start = std::chrono::steady_clock::now();
    uint32_t uFlags = 99;
    CMyString strAddress;
    EXPECT_FALSE(CUpdateCheck::CheckForUpdates(uFlags, strAddress));
    EXPECT_EQ(uFlags, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kCaseLimit);

    start = std::chrono::steady_clock::now();
    const std::vector<std::string> log = RunUpdate(true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kCaseLimit);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "message: Couldn't get the lists from ORVANTA server for the first "
                           "time\nCheck connection to the internet");
    EXPECT_EQ(log.back(), "quit");
}

// A download from the misbehaving server tells its caller why it failed; a whole 200 answer
// is no failure, whatever it holds.
TEST_P(HostileServerTest, DownloadNamesWhyItFailed)
{
    const std::map<std::string, std::string> reasons = {
        {"404", "HTTP status 404"},
        {"500", "HTTP status 500"},
        {"redirect loop", "network error: Maximum (10) redirects followed"},
        {"empty", ""},
        {"not a list", ""},
        {"root only", ""},
        {"huge", "too large: more than 524288 bytes"},
        {"truncated", "network error: transfer closed with"},
        {"stall", "timed out: Operation"},
        {"trickle", "timed out: Operation"},
        {"endless", "too large: more than 524288 bytes"},
    };
    const CHostileServer server(GetParam(), true);
    CMyDownload download;
    download.SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    const bool bFetched = download.DownloadToBuffer((server.Url() + "News.txt").c_str());
    const CMyString strReason = download.GetResult().Describe();
    const std::string strExpected = reasons.at(GetParam());
    EXPECT_EQ(bFetched, strExpected.empty());
    EXPECT_EQ(strReason.IsEmpty(), strExpected.empty());
    const std::string strGiven = strReason.IsEmpty() ? "" : strReason.GetBuffer();
    EXPECT_TRUE(strGiven.starts_with(strExpected)) << strGiven;
}

// A picture fetched in the background (as the tree fetches icons) is written whole or not at
// all: the old file stays.
TEST_P(HostileServerTest, FileDownloadLeavesNoHalfFile)
{
    const CHostileServer server(GetParam(), true);
    Write("data/icon.gif", "old picture");
    const std::vector<std::string> before = Entries();
    QObject receiver;
    const uint32_t uMessage = RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE);
    std::atomic<int> nAnswer{-1};
    class CAnswerFilter : public QObject
    {
    public:
        CAnswerFilter(uint32_t uMessage, std::atomic<int>& nAnswer)
            : m_uMessage(uMessage), m_nAnswer(nAnswer)
        {
        }
        bool eventFilter(QObject*, QEvent* pEvent) override
        {
            const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
            if (pMessage == nullptr || pMessage->GetMessage() != m_uMessage)
                return false;
            m_nAnswer = static_cast<int>(pMessage->GetWParam());
            return true;
        }
        uint32_t m_uMessage;
        std::atomic<int>& m_nAnswer;
    } filter(uMessage, nAnswer);
    receiver.installEventFilter(&filter);

    auto* pDownload = new CMyDownload;
    pDownload->SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    ASSERT_TRUE(pDownload->StartFileDownload(CMyString((server.Url() + "icon.gif").c_str()),
                                             CMyString(Path("data/icon.gif").c_str()), &receiver,
                                             uMessage, 0));
    EXPECT_TRUE(PumpEventsUntil([&nAnswer] { return nAnswer >= 0; }, 40));
    // A whole 200 answer is taken as it is (what it holds is the picture reader's business);
    // every other answer leaves the old file.
    const std::string strKind = GetParam();
    if (strKind == "empty" || strKind == "not a list" || strKind == "root only")
        EXPECT_EQ(nAnswer, 1);
    else
    {
        EXPECT_EQ(nAnswer, 0);
        EXPECT_EQ(Read("data/icon.gif"), "old picture");
    }
    EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(Misbehaviours, HostileServerTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<const char*>& kind)
                         {
                             std::string strName = kind.param;
                             for (char& cLetter : strName)
                                 if (cLetter == ' ')
                                     cLetter = '_';
                             return strName.front() >= '0' && strName.front() <= '9'
                                        ? "Status" + strName
                                        : strName;
                         });
