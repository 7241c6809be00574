#pragma once

// A small HTTP server for the tests, on 127.0.0.1 only.

#include "config/FileHandler.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A list as servers publish it: scrambled XML whose root holds one element with the text.
inline std::string PublishedList(const std::string& strText)
{
    return CFileHandler::Scramble("<L><I>" + strText + "</I></L>");
}
// The same as the res folder keeps it: followed by one NUL.
inline std::string StoredList(const std::string& strText)
{
    return PublishedList(strText) + std::string(1, '\0');
}

// Serves fixed files under /lists/ (anything else is a 404), counting the requests for each and
// keeping each request's user agent and referrer.
class CListServer
{
public:
    CListServer(std::initializer_list<std::pair<const std::string, std::string>> files)
        : m_files(files)
    {
        m_server.Get(
            R"(/lists/(.*))",
            [this](const httplib::Request& request, httplib::Response& response)
            {
                while (m_bHeld)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                const std::lock_guard<std::mutex> lock(m_mutex);
                const std::string strFile = request.matches[1];
                ++m_requests[strFile];
                const std::string strAgent = request.get_header_value("User-Agent");
                m_headers.push_back({strFile, strAgent, request.get_header_value("Referer")});
                const auto found = m_files.find(strFile);
                const auto required = m_requiredAgents.find(strFile);
                if (required != m_requiredAgents.end() && required->second != strAgent)
                    response.status = 403;
                else if (found == m_files.end())
                    response.status = 404;
                else
                    response.set_content(found->second, "text/plain");
            });
        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~CListServer()
    {
        m_bHeld = false;
        m_server.stop();
        m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/lists/"; }

    // While held, every request waits for its answer until the hold ends.
    void Hold(bool bHeld) { m_bHeld = bHeld; }

    std::map<std::string, int> Requests()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    // Serves the file only to requests with exactly this user agent.
    void RequireAgent(const std::string& strFile, const std::string& strAgent)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_requiredAgents[strFile] = strAgent;
    }
    struct SRequestHeaders
    {
        std::string strFile;
        std::string strUserAgent;
        std::string strReferrer;
    };
    std::vector<SRequestHeaders> Headers()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_headers;
    }

private:
    std::map<std::string, std::string> m_files;
    std::map<std::string, int> m_requests;
    std::map<std::string, std::string> m_requiredAgents;
    std::vector<SRequestHeaders> m_headers;
    std::mutex m_mutex;
    std::atomic<bool> m_bHeld{false};
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
};

// A live station: a stream of unknown length sent a piece at a time. While it is "gone" the
// stream breaks off and every request gets a 404.
class CLiveStream
{
public:
    explicit CLiveStream(const std::string& clip) : m_clip(clip)
    {
        m_server.Get("/live.ts", [this](const httplib::Request&, httplib::Response& response)
                     { Answer(response); });
        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~CLiveStream()
    {
        m_bGone = true;
        m_server.stop();
        m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/live.ts"; }
    std::atomic<bool> m_bGone{false};
    std::atomic<int> m_nRequests{0};

private:
    void Answer(httplib::Response& response)
    {
        ++m_nRequests;
        if (m_bGone)
            response.status = 404;
        else
            response.set_chunked_content_provider("video/mp2t",
                                                  [this](size_t uOffset, httplib::DataSink& sink)
                                                  { return SendPiece(uOffset, sink); });
    }
    bool SendPiece(size_t uOffset, httplib::DataSink& sink)
    {
        if (m_bGone)
            return false;
        const size_t uAt = uOffset % m_clip.size();
        sink.write(m_clip.data() + uAt, std::min<size_t>(8192, m_clip.size() - uAt));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    }
    const std::string& m_clip;
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
};
